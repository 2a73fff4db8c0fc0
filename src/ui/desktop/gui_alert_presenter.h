#pragma once

#include "desktop/alert_presenter.h"

#include <QObject>
#include <QPointer>

class QWidget;

// Alerts as window-modal message boxes over the main window (application-modal while it is not
// shown). Never blocks the caller: the choice arrives through the callback.
class GuiAlertPresenter : public QObject, public AlertPresenter
{
    Q_OBJECT

public:
    explicit GuiAlertPresenter(QObject* parent = nullptr);

    void setWindow(QWidget* window) { window_ = window; }
    void show(const Alert& alert, Choice onChoice = {}) override;

private:
    QPointer<QWidget> window_;
};
