#pragma once

#include "base/environment.h"
#include "ui/settings/settings_form.h"

class QLabel;
class QLineEdit;
struct SettingsContext;

// "Node": the node path override, the login-shell environment's state with "Reload", and the
// start of the PATH dev servers get.
class NodeSection : public FormSection
{
    Q_OBJECT

public:
    NodeSection(SettingsContext& context, QWidget* parent = nullptr);

private:
    void refresh();

    SettingsContext& context_;
    QLineEdit* nodePath_;
    QLabel* shellStatus_ = nullptr;
    QLabel* pathLine_ = nullptr;
};

// "PATH: " + the first four entries of the environment's PATH joined by ":", then "…".
QString pathPreview(const Environment& environment);
