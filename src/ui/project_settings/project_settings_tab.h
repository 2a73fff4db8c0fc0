#pragma once

#include <QWidget>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
struct Project;
struct ProjectInfo;
struct UiContext;

// The Settings tab of one project: how it is run. The run mode (automatic or one of the five),
// the Wrangler environment (when the configuration declares some and the mode takes one), the
// custom command (custom mode only) and the port (Wrangler modes only) are stored on the
// project and take effect at its next start.
class ProjectSettingsTab : public QWidget
{
    Q_OBJECT

public:
    ProjectSettingsTab(UiContext& ui, const QString& projectID, QWidget* parent = nullptr);

    static constexpr int pickerWidth = 260;
    static constexpr int portFieldWidth = 110;

private:
    QWidget* settingRow(const QString& title, const QString& help, QWidget* control, bool divided);
    void refresh();
    void chooseMode(int index);
    void chooseEnvironment(int index);
    void refreshEnvironments(const Project& project, const ProjectInfo* info);
    void commitPort();
    void showStoredPort();

    UiContext& ui_;
    QString projectID_;
    QFrame* card_;
    QLabel* cardTitle_;
    QComboBox* picker_;
    QComboBox* environmentPicker_;
    QLabel* environmentHelp_;
    QWidget* environmentRow_;
    QLineEdit* command_;
    QLineEdit* port_;
    QWidget* commandRow_;
    QWidget* portRow_;
};
