#include "ui/settings/settings_form.h"

#include "ui/theme/theme.h"
#include "ui/theme/type_scale.h"
#include "ui/widgets/buttons.h"
#include "ui/widgets/toggle_switch.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The card behind the rows of a section: rounded, filled, with hairlines between the rows.
class FormCard : public QWidget
{
public:
    FormCard(Theme& theme, QWidget* parent) : QWidget(parent), theme_(theme)
    {
        connect(&theme_, &Theme::schemeChanged, this, qOverload<>(&QWidget::update));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        const Palette& p = theme_.palette();
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(p.border, 1));
        painter.setBrush(p.cardBackground);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
        painter.setRenderHint(QPainter::Antialiasing, false);
        bool first = true;
        for (QObject* child : children()) {
            auto* row = qobject_cast<QWidget*>(child);
            if (!row || row->isHidden())
                continue;
            if (!first)
                painter.drawLine(12, row->y() - 1, width() - 12, row->y() - 1);
            first = false;
        }
    }

private:
    Theme& theme_;
};

} // namespace

QLabel* formLabel(const QString& text, Theme& theme, ThemeBinder::PaletteColor color,
                  QWidget* parent, bool caption)
{
    auto* label = new QLabel(text, parent);
    label->setFont(caption ? TypeScale::caption() : TypeScale::body());
    ThemeBinder::bindTextColor(label, theme, color);
    return label;
}

QPushButton* formButton(const QString& text, const QString& objectName, Theme& theme,
                        QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(objectName);
    ThemeBinder::bind(button, theme, [button](const Palette& p) {
        styleButton(button, ButtonStyle::secondary, p);
    });
    return button;
}

ToggleSwitch* formSwitch(const QString& objectName, Theme& theme)
{
    auto* toggle = new ToggleSwitch;
    toggle->setObjectName(objectName);
    ThemeBinder::bind(toggle, theme,
                      [toggle](const Palette& p) { toggle->setColors(p.accent, p.tertiaryText); });
    return toggle;
}

FormSection::FormSection(const QString& title, Theme& theme, QWidget* parent)
    : QWidget(parent), theme_(theme), card_(new FormCard(theme, this)),
      rows_(new QVBoxLayout(card_))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    auto* header = formLabel(title.toUpper(), theme, &Palette::secondaryText, this);
    header->setFont(TypeScale::sectionHeader());
    header->setObjectName(QStringLiteral("sectionTitle"));
    header->setContentsMargins(12, 0, 0, 0);
    layout->addWidget(header);
    layout->addWidget(card_);
    rows_->setContentsMargins(0, 0, 0, 0);
    rows_->setSpacing(1);
}

void FormSection::addRow(QWidget* row)
{
    row->setParent(card_);
    rows_->addWidget(row);
}

QHBoxLayout* FormSection::addRowLayout(const QString& objectName)
{
    auto* row = new QWidget(card_);
    row->setObjectName(objectName);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(12, 8, 12, 8);
    layout->setSpacing(8);
    addRow(row);
    return layout;
}

QVBoxLayout* FormSection::addLabelledRow(const QString& label, QWidget* control,
                                         const QString& help)
{
    QHBoxLayout* layout = addRowLayout();
    layout->setSpacing(12);
    QWidget* row = layout->parentWidget();
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(formLabel(label, theme_, &Palette::primaryText, row));
    if (!help.isEmpty()) {
        QLabel* helpLine = formLabel(help, theme_, &Palette::secondaryText, row, true);
        helpLine->setWordWrap(true);
        texts->addWidget(helpLine);
    }
    layout->addLayout(texts, 1);
    control->setParent(row);
    if (control->accessibleName().isEmpty())
        control->setAccessibleName(label);
    layout->addWidget(control, 0, Qt::AlignVCenter);
    return texts;
}

void clearRows(QVBoxLayout* rows)
{
    while (QLayoutItem* item = rows->takeAt(0)) {
        if (QWidget* row = item->widget()) {
            row->hide();
            row->setParent(nullptr);
            row->deleteLater();
        }
        delete item;
    }
}

QString tildePath(const QString& path, const QString& home)
{
    if (home.isEmpty() || home == QStringLiteral("/"))
        return path;
    if (path == home)
        return QStringLiteral("~");
    if (path.startsWith(home + u'/'))
        return u'~' + path.mid(home.size());
    return path;
}
