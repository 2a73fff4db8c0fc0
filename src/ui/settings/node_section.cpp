#include "ui/settings/node_section.h"

#include "core/model/app_model.h"
#include "supervision/shell_environment.h"
#include "ui/settings/settings_context.h"
#include "ui/theme/theme.h"
#include "ui/theme/type_scale.h"
#include "ui/ui_context.h"
#include "ui/widgets/buttons.h"

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
      nodePath_(new QLineEdit), shellStatus_(formLabel(QString(), TextTone::primary, nullptr)),
      pathLine_(formLabel(QString(), TextTone::secondary, nullptr))
{
    setObjectName(QStringLiteral("nodeSection"));
    nodePath_->setObjectName(QStringLiteral("nodePathField"));
    nodePath_->setPlaceholderText(QStringLiteral("Automatic (from your login shell)"));
    nodePath_->setMinimumWidth(220);
    auto* choose = new QPushButton(QStringLiteral("Choose…"));
    choose->setObjectName(QStringLiteral("chooseNodeButton"));
    auto* field = new QWidget;
    auto* fieldLayout = new QHBoxLayout(field);
    fieldLayout->setContentsMargins(0, 0, 0, 0);
    fieldLayout->setSpacing(6);
    nodePath_->setParent(field);
    choose->setParent(field);
    fieldLayout->addWidget(nodePath_);
    fieldLayout->addWidget(choose);
    addRow(labelledRow(QStringLiteral("Node path override"), field));

    QHBoxLayout* status = addRowLayout(QStringLiteral("shellStatusRow"));
    shellStatus_->setObjectName(QStringLiteral("shellStatus"));
    shellStatus_->setParent(status->parentWidget());
    status->addWidget(shellStatus_, 1);
    auto* reload = new QPushButton(QStringLiteral("Reload"), status->parentWidget());
    reload->setObjectName(QStringLiteral("reloadShellButton"));
    status->addWidget(reload);

    QHBoxLayout* path = addRowLayout(QStringLiteral("pathRow"));
    pathLine_->setObjectName(QStringLiteral("pathLine"));
    pathLine_->setParent(path->parentWidget());
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
    connect(reload, &QPushButton::clicked, model, &AppModel::reloadShellEnvironment);
    for (const auto signal : {&AppModel::settingsChanged, &AppModel::rawShellEnvChanged,
                              &AppModel::shellEnvLoadedChanged})
        connect(model, signal, this, &NodeSection::refresh);
    refresh();
    applyPalette();
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

void NodeSection::applyPalette()
{
    const Palette& p = context_.ui.theme.palette();
    for (QPushButton* button : findChildren<QPushButton*>())
        styleButton(button, ButtonStyle::secondary, p);
    applyTextTones(this, p);
}
