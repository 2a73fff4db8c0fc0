#include "ui/logs/log_find_bar.h"

#include "ui/logs/log_text_view.h"
#include "ui/theme/palette.h"
#include "ui/theme/type_scale.h"
#include "ui/widgets/buttons.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>

LogFindBar::LogFindBar(LogTextView* text, QWidget* parent)
    : QWidget(parent), text_(text), field_(new QLineEdit(this)), count_(new QLabel(this)),
      previous_(new IconButton(QStringLiteral("chevron-up"), 24, 14, this)),
      next_(new IconButton(QStringLiteral("chevron-down"), 24, 14, this)),
      close_(new IconButton(QStringLiteral("x"), 24, 14, this))
{
    setObjectName(QStringLiteral("logsFindBar"));
    setAutoFillBackground(true);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(14, 6, 14, 6);
    row->setSpacing(6);

    field_->setObjectName(QStringLiteral("logsFindField"));
    field_->setPlaceholderText(QStringLiteral("Find in log"));
    field_->setToolTip(QStringLiteral("Find in the log (Ctrl+F): Enter or F3 for the next match, "
                                      "Shift+Enter or Shift+F3 for the previous, Escape to close"));
    field_->setFont(TypeScale::body());
    field_->setMinimumWidth(220);
    field_->setMaximumWidth(320);
    field_->installEventFilter(this);
    count_->setObjectName(QStringLiteral("logsFindCount"));
    count_->setFont(TypeScale::caption());
    previous_->setObjectName(QStringLiteral("logsFindPrevious"));
    previous_->setToolTip(QStringLiteral("Previous match (Shift+Enter, Shift+F3)"));
    next_->setObjectName(QStringLiteral("logsFindNext"));
    next_->setToolTip(QStringLiteral("Next match (Enter, F3)"));
    close_->setObjectName(QStringLiteral("logsFindClose"));
    close_->setToolTip(QStringLiteral("Close the find bar (Escape)"));
    row->addWidget(field_);
    row->addWidget(count_);
    row->addWidget(previous_);
    row->addWidget(next_);
    row->addStretch(1);
    row->addWidget(close_);

    connect(field_, &QLineEdit::textChanged, text_, &LogTextView::setFindQuery);
    connect(text_, &LogTextView::matchesChanged, this, &LogFindBar::showCount);
    connect(previous_, &QToolButton::clicked, text_, &LogTextView::findPrevious);
    connect(next_, &QToolButton::clicked, text_, &LogTextView::findNext);
    connect(close_, &QToolButton::clicked, this, &LogFindBar::close);
    hide();
}

void LogFindBar::open()
{
    const bool wasHidden = isHidden();
    show();
    field_->setFocus(Qt::ShortcutFocusReason);
    field_->selectAll();
    if (wasHidden)
        text_->setFindQuery(field_->text());
}

void LogFindBar::close()
{
    const bool hadFocus = field_->hasFocus();
    hide();
    text_->setFindQuery(QString());
    if (hadFocus)
        text_->setFocus(Qt::OtherFocusReason);
}

QString LogFindBar::countText() const
{
    return count_->text();
}

void LogFindBar::showCount()
{
    const LogMatches& matches = text_->matches();
    if (!matches.active())
        count_->clear();
    else if (matches.count() == 0)
        count_->setText(QStringLiteral("No matches"));
    else
        count_->setText(QLocale().toString(matches.current() + 1) + QStringLiteral(" of ") +
                        QLocale().toString(matches.count()));
    previous_->setEnabled(matches.count() > 0);
    next_->setEnabled(matches.count() > 0);
}

bool LogFindBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == field_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (key->modifiers() & Qt::ShiftModifier)
                text_->findPrevious();
            else
                text_->findNext();
            return true;
        case Qt::Key_Escape: close(); return true;
        default: break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void LogFindBar::applyPalette(const Palette& palette)
{
    QPalette pal = QWidget::palette();
    pal.setColor(QPalette::Window, palette.logBackground);
    setPalette(pal);
    field_->setStyleSheet(
        QStringLiteral("QLineEdit { background: %1; border: 1px solid %2; border-radius: 6px;"
                       " padding: 4px 6px; }")
            .arg(palette.cardBackground.name(), palette.border.name()));
    QPalette countPalette = count_->palette();
    countPalette.setColor(QPalette::WindowText, palette.secondaryText);
    count_->setPalette(countPalette);
    for (IconButton* button : {previous_, next_, close_})
        button->applyPalette(palette);
}
