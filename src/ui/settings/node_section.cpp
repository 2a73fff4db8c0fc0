#include "ui/settings/node_section.h"

#include "model/app_model.h"
#include "supervision/shell_environment.h"
#include "ui/settings/settings_context.h"
#include "ui/theme/theme.h"
#include "ui/theme/type_scale.h"
#include "ui/ui_context.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

QString pathPreview(const Environment& environment)
{
    const auto path = environment.constFind(QStringLiteral("PATH"));
    if (path == environment.cend())
        return QStringLiteral("PATH: …");
    return QStringLiteral("PATH: ") + path->split(u':').mid(0, 4).join(u':') + u'…';
}

NodeSection::NodeSection(SettingsContext& context, QWidget* parent)
    : FormSection(QStringLiteral("Node"), context.ui.theme, parent), context_(context),
      nodePath_(new QLineEdit)
{
    setObjectName(QStringLiteral("nodeSection"));
    nodePath_->setObjectName(QStringLiteral("nodePathField"));
    nodePath_->setPlaceholderText(QStringLiteral("Automatic (from your login shell)"));
    nodePath_->setMinimumWidth(220);
    auto* field = new QWidget;
    auto* fieldLayout = new QHBoxLayout(field);
    fieldLayout->setContentsMargins(0, 0, 0, 0);
    fieldLayout->setSpacing(6);
    nodePath_->setParent(field);
    auto* choose =
        formButton(QStringLiteral("Choose…"), QStringLiteral("chooseNodeButton"), theme(), field);
    fieldLayout->addWidget(nodePath_);
    fieldLayout->addWidget(choose);
    addLabelledRow(QStringLiteral("Node path override"), field);

    QHBoxLayout* status = addRowLayout(QStringLiteral("shellStatusRow"));
    shellStatus_ = formLabel(QString(), theme(), &Palette::primaryText, status->parentWidget());
    shellStatus_->setObjectName(QStringLiteral("shellStatus"));
    status->addWidget(shellStatus_, 1);
    status->addWidget(formButton(QStringLiteral("Reload"), QStringLiteral("reloadShellButton"),
                                 theme(), status->parentWidget()));

    QHBoxLayout* path = addRowLayout(QStringLiteral("pathRow"));
    pathLine_ = formLabel(QString(), theme(), &Palette::secondaryText, path->parentWidget());
    pathLine_->setObjectName(QStringLiteral("pathLine"));
    pathLine_->setFont(TypeScale::monospaced());
    pathLine_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    pathLine_->setWordWrap(true);
    path->addWidget(pathLine_, 1);

    AppModel* model = &context_.ui.model;
    connect(nodePath_, &QLineEdit::textEdited, this, [model](const QString& text) {
        editSettings(*model, [&text](AppSettings& s) { s.nodePath = text; });
    });
    connect(choose, &QPushButton::clicked, this, [this, model] {
        if (context_.choosers.nodePath)
            context_.choosers.nodePath(window(), [model](const QString& chosen) {
                // Stored as chosen: a binary or its folder, checked only when a server starts.
                editSettings(*model, [&chosen](AppSettings& s) { s.nodePath = chosen; });
            });
    });
    connect(findChild<QPushButton*>(QStringLiteral("reloadShellButton")), &QPushButton::clicked,
            model, &AppModel::reloadShellEnvironment);
    for (const auto signal : {&AppModel::settingsChanged, &AppModel::rawShellEnvChanged,
                              &AppModel::shellEnvLoadedChanged})
        connect(model, signal, this, &NodeSection::refresh);
    refresh();
}

void NodeSection::refresh()
{
    const AppModel& model = context_.ui.model;
    // Rewriting the text while the user types would move the cursor.
    if (nodePath_->text() != model.settings().nodePath)
        nodePath_->setText(model.settings().nodePath);
    shellStatus_->setText(model.shellEnvLoaded() ? QStringLiteral("Shell environment loaded")
                                                 : QStringLiteral("Loading shell environment…"));
    pathLine_->setText(pathPreview(
        ShellEnvironment::childEnvironment(model.rawShellEnv(), model.settings().nodePath)));
}
