#pragma once

#include "desktop/external_app.h"
#include "ui/settings/settings_context.h"

#include <QWidget>

class AppPicker;
class FormSection;
class GeneralSection;
class QLineEdit;

// The application's preferences in one window, 560 × 520: "General", "Project folders",
// "Access", "Terminal", "Editor" and "Node". Every change goes to the model at once; the window
// keeps only the access check's result and the login item's state, so it may close any time.
class SettingsWindow : public QWidget
{
    Q_OBJECT

public:
    SettingsWindow(UiContext& ui, LoginItem& loginItem, SettingsChoosers choosers,
                   QWidget* parent = nullptr);
    ~SettingsWindow() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    FormSection* appSection(const QString& title, const QString& pickerTitle, AppKind kind);
    void refreshPickers();
    void pickOther(AppKind kind);

    SettingsContext context_;
    GeneralSection* general_ = nullptr;
    AppPicker* terminalPicker_ = nullptr;
    AppPicker* editorPicker_ = nullptr;
    QLineEdit* editorCommand_ = nullptr;
};
