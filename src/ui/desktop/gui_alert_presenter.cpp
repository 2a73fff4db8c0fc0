#include "ui/desktop/gui_alert_presenter.h"

#include "ui/about/product.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>

GuiAlertPresenter::GuiAlertPresenter(QObject* parent) : QObject(parent) {}

void GuiAlertPresenter::show(const Alert& alert, Choice onChoice)
{
    QWidget* parent = window_ && window_->isVisible() ? window_.data() : nullptr;
    auto* box = new QMessageBox(parent);
    box->setObjectName(QStringLiteral("alertBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(Product::name);
    box->setText(alert.message);
    box->setInformativeText(alert.informativeText);
    switch (alert.style) {
    case AlertStyle::informational: box->setIcon(QMessageBox::Information); break;
    case AlertStyle::warning: box->setIcon(QMessageBox::Warning); break;
    case AlertStyle::critical: box->setIcon(QMessageBox::Critical); break;
    }
    const QStringList titles =
        alert.buttons.isEmpty() ? QStringList{QStringLiteral("OK")} : alert.buttons;
    QList<QAbstractButton*> buttons;
    for (qsizetype i = 0; i < titles.size(); ++i) {
        // The first button is the affirmative one; "Cancel" answers Escape.
        const auto role = titles[i] == QStringLiteral("Cancel") ? QMessageBox::RejectRole
                          : i == 0                              ? QMessageBox::AcceptRole
                                                                : QMessageBox::ActionRole;
        QPushButton* button = box->addButton(titles[i], role);
        if (i == 0)
            box->setDefaultButton(button);
        buttons.append(button);
    }
    box->setEscapeButton(buttons.value(dismissalChoice(alert)));
    box->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);

    auto answered = std::make_shared<bool>(false);
    connect(box, &QMessageBox::buttonClicked, box,
            [buttons, onChoice, answered](QAbstractButton* clicked) {
                if (*answered)
                    return;
                *answered = true;
                if (onChoice)
                    onChoice(int(qMax<qsizetype>(0, buttons.indexOf(clicked))));
            });
    // Closed without a button (window manager): the dismissal choice, exactly once.
    const int dismissal = dismissalChoice(alert);
    connect(box, &QObject::destroyed, this, [onChoice, answered, dismissal] {
        if (!*answered && onChoice) {
            *answered = true;
            onChoice(dismissal);
        }
    });
    box->open();
}
