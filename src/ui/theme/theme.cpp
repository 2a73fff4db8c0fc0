#include "ui/theme/theme.h"

#include "ui/theme/system_color_scheme.h"

#include <QApplication>
#include <QPalette>

Theme::Theme(SystemColorScheme* system, QObject* parent) : QObject(parent), system_(system)
{
    if (system_)
        connect(system_, &SystemColorScheme::schemeChanged, this, &Theme::resolve);
    scheme_ = system_ ? system_->scheme() : Scheme::light;
    palette_ = Palette::forScheme(scheme_);
    applyToApplication();
}

void Theme::setMode(AppearanceMode mode)
{
    mode_ = mode;
    resolve();
}

void Theme::resolve()
{
    Scheme next = Scheme::light;
    switch (mode_) {
    case AppearanceMode::system: next = system_ ? system_->scheme() : Scheme::light; break;
    case AppearanceMode::light: next = Scheme::light; break;
    case AppearanceMode::dark: next = Scheme::dark; break;
    }
    if (next == scheme_)
        return;
    scheme_ = next;
    palette_ = Palette::forScheme(scheme_);
    applyToApplication();
    emit schemeChanged(scheme_);
}

void Theme::applyToApplication() const
{
    const Palette& p = palette_;
    QPalette q;
    q.setColor(QPalette::Window, p.windowBackground);
    q.setColor(QPalette::WindowText, p.primaryText);
    q.setColor(QPalette::Base, p.cardBackground);
    q.setColor(QPalette::AlternateBase, p.subtleFill);
    q.setColor(QPalette::Text, p.primaryText);
    q.setColor(QPalette::Button, p.cardBackground);
    q.setColor(QPalette::ButtonText, p.primaryText);
    q.setColor(QPalette::PlaceholderText, p.tertiaryText);
    q.setColor(QPalette::Highlight, p.accent);
    q.setColor(QPalette::HighlightedText, QColor(Qt::white));
    q.setColor(QPalette::ToolTipBase, p.cardBackground);
    q.setColor(QPalette::ToolTipText, p.primaryText);
    q.setColor(QPalette::Link, p.accent);
    q.setColor(QPalette::BrightText, p.error);
    q.setColor(QPalette::Light, p.subtleFill);
    q.setColor(QPalette::Midlight, p.subtleFill);
    q.setColor(QPalette::Mid, p.border);
    q.setColor(QPalette::Dark, p.border);
    q.setColor(QPalette::Shadow, p.border);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        q.setColor(QPalette::Disabled, role, p.tertiaryText);
    QApplication::setPalette(q);
}
