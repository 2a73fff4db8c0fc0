#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// The look of an alert; the presenter picks the matching icon.
enum class AlertStyle { informational, warning, critical };

// A modal alert. By convention the affirmative button comes first and "Cancel" second.
struct Alert
{
    QString message = {};         // the main, emphasised line
    QString informativeText = {}; // smaller text below it; may be empty
    QStringList buttons = {};     // in display order; empty means a single "OK" button
    AlertStyle style = AlertStyle::informational;

    friend bool operator==(const Alert&, const Alert&) = default;
};

// Shows modal alerts for the headless model. The GUI implements it with a window-modal dialog
// that does not block the caller; tests use a scripted fake.
class AlertPresenter
{
public:
    // Receives the index of the chosen button in Alert::buttons (0 for the implied "OK").
    using Choice = std::function<void(int)>;

    virtual ~AlertPresenter() = default;

    // Shows the alert and calls onChoice exactly once, on the main thread, when the user has
    // chosen. Dismissing the alert (Escape, closing it) chooses the button titled "Cancel" when
    // there is one, else the last button, so the index is always valid. onChoice may run before
    // show() returns: callers must not rely on running code after show() first. An empty
    // onChoice is allowed for alerts that only inform.
    virtual void show(const Alert& alert, Choice onChoice = {}) = 0;
};

// The index that dismissing an alert chooses (see AlertPresenter::show).
inline int dismissalChoice(const Alert& alert)
{
    const qsizetype cancel = alert.buttons.indexOf(QStringLiteral("Cancel"));
    if (cancel >= 0)
        return int(cancel);
    return alert.buttons.isEmpty() ? 0 : int(alert.buttons.size() - 1);
}
