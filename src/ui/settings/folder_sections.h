#pragma once

#include "ui/settings/settings_form.h"

#include <QSet>

class QLabel;
class QPushButton;
class QVBoxLayout;
class ToggleSwitch;
struct SettingsContext;

// "Project folders": the roots with their remove buttons, adding and rescanning, watching.
class ProjectFoldersSection : public FormSection
{
    Q_OBJECT

public:
    ProjectFoldersSection(SettingsContext& context, QWidget* parent = nullptr);

private:
    void showRoots();

    SettingsContext& context_;
    QWidget* rootList_;
    QVBoxLayout* rootRows_;
    ToggleSwitch* watch_;
};

// "Access": whether each root can be read. The check lists every root's entries in the
// background when the section is shown, when the roots change and on "Check again".
class FolderAccessSection : public FormSection
{
    Q_OBJECT

public:
    FolderAccessSection(SettingsContext& context, QWidget* parent = nullptr);

    void check();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showRows();

    SettingsContext& context_;
    QWidget* rowList_;
    QVBoxLayout* rows_;
    QWidget* explanation_ = nullptr;
    QSet<QString> blocked_;
    // Only the newest check is applied.
    quint64 generation_ = 0;
};
