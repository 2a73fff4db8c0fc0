#include "ui/settings/settings_form.h"

#include "ui/theme/theme.h"
#include "ui/theme/type_scale.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace {

const char* const toneProperty = "textTone";

// The card behind the rows of a section: rounded, filled, with hairlines between the rows.
class FormCard : public QWidget
{
public:
    FormCard(Theme& theme, QWidget* parent) : QWidget(parent), theme_(theme) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        const Palette& p = theme_.palette();
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        painter.setPen(QPen(p.border, 1));
        painter.setBrush(p.cardBackground);
        painter.drawRoundedRect(box, 8, 8);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(QPen(p.border, 1));
        const QObjectList& rows = children();
        bool first = true;
        for (QObject* child : rows) {
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

QColor toneColor(TextTone tone, const Palette& p)
{
    switch (tone) {
    case TextTone::primary: return p.primaryText;
    case TextTone::secondary: return p.secondaryText;
    case TextTone::error: return p.error;
    case TextTone::success: return p.running;
    case TextTone::warning: return p.starting;
    }
    return p.primaryText;
}

} // namespace

QLabel* formLabel(const QString& text, TextTone tone, QWidget* parent, bool caption)
{
    auto* label = new QLabel(text, parent);
    label->setFont(caption ? TypeScale::caption() : TypeScale::body());
    label->setProperty(toneProperty, int(tone));
    return label;
}

void applyTextTones(QWidget* root, const Palette& palette)
{
    for (QLabel* label : root->findChildren<QLabel*>()) {
        const QVariant tone = label->property(toneProperty);
        if (!tone.isValid())
            continue;
        QPalette pal = label->palette();
        pal.setColor(QPalette::WindowText, toneColor(TextTone(tone.toInt()), palette));
        label->setPalette(pal);
    }
}

FormSection::FormSection(const QString& title, Theme& theme, QWidget* parent)
    : QWidget(parent), theme_(theme), card_(new FormCard(theme, this)),
      rows_(new QVBoxLayout(card_))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    QFont headerFont = TypeScale::sectionHeader();
    auto* header = formLabel(title.toUpper(), TextTone::secondary, this);
    header->setFont(headerFont);
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

QWidget* labelledRow(const QString& label, QWidget* control, QLabel* help, QWidget* parent)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(12, 8, 12, 8);
    layout->setSpacing(12);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(formLabel(label, TextTone::primary, row));
    if (help) {
        help->setParent(row);
        help->setWordWrap(true);
        texts->addWidget(help);
    }
    layout->addLayout(texts, 1);
    control->setParent(row);
    layout->addWidget(control, 0, Qt::AlignVCenter);
    return row;
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
