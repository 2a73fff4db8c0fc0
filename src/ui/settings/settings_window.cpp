#include "ui/settings/settings_window.h"

#include "base/product_name.h"
#include "desktop/app_resolution.h"
#include "model/app_model.h"
#include "ui/settings/app_picker.h"
#include "ui/settings/folder_sections.h"
#include "ui/settings/general_section.h"
#include "ui/settings/node_section.h"
#include "ui/theme/theme.h"
#include "ui/ui_context.h"

#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {

QString& selectionOf(AppSettings& settings, AppKind kind)
{
    return kind == AppKind::terminal ? settings.terminalApp : settings.editorApp;
}

} // namespace

SettingsWindow::SettingsWindow(UiContext& ui, LoginItem& loginItem, SettingsChoosers choosers,
                               QWidget* parent)
    : QWidget(parent, Qt::Window), context_{ui, loginItem, std::move(choosers)}
{
    setObjectName(QStringLiteral("settingsWindow"));
    setWindowTitle(Product::name + QStringLiteral(" Settings"));
    setFixedSize(560, 520);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(this);
    outer->addWidget(scroll);
    scroll->setObjectName(QStringLiteral("settingsScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("settingsContent"));
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(20);

    general_ = new GeneralSection(context_, content);
    layout->addWidget(general_);
    layout->addWidget(new ProjectFoldersSection(context_, content));
    layout->addWidget(new FolderAccessSection(context_, content));
    layout->addWidget(appSection(QStringLiteral("Terminal"), QStringLiteral("Open Terminal with"),
                                 AppKind::terminal));
    FormSection* editor =
        appSection(QStringLiteral("Editor"), QStringLiteral("Open projects with"), AppKind::editor);
    editorCommand_ = new QLineEdit;
    editorCommand_->setObjectName(QStringLiteral("editorCommandField"));
    editorCommand_->setPlaceholderText(QStringLiteral("Optional, e.g. code or cursor"));
    editorCommand_->setMinimumWidth(220);
    QVBoxLayout* commandTexts = editor->addLabelledRow(
        QStringLiteral("Custom command"), editorCommand_,
        QStringLiteral("When set, runs as <code>&lt;command&gt; &lt;project folder&gt;</code> and "
                       "is used instead of the app above."));
    // The command form is code, set in the monospaced font rather than between backquotes.
    if (auto* help = qobject_cast<QLabel*>(commandTexts->itemAt(1)->widget())) {
        help->setObjectName(QStringLiteral("editorCommandHelp"));
        help->setTextFormat(Qt::RichText);
    }
    layout->addWidget(editor);
    layout->addWidget(new NodeSection(context_, content));
    layout->addStretch(1);
    scroll->setWidget(content);

    AppModel* model = &context_.ui.model;
    connect(editorCommand_, &QLineEdit::textEdited, this, [model](const QString& text) {
        editSettings(*model, [&text](AppSettings& s) { s.editorCommand = text; });
    });
    for (const auto signal : {&AppModel::settingsChanged, &AppModel::installedTerminalsChanged,
                              &AppModel::installedEditorsChanged})
        connect(model, signal, this, &SettingsWindow::refreshPickers);
    // The pickers' stand-in icons are drawn in the palette's colours.
    connect(&context_.ui.theme, &Theme::schemeChanged, this, &SettingsWindow::refreshPickers);
    refreshPickers();
    setAutoFillBackground(true);
    ThemeBinder::bindColor(this, QPalette::Window, context_.ui.theme, &Palette::windowBackground);
}

SettingsWindow::~SettingsWindow() = default;

FormSection* SettingsWindow::appSection(const QString& title, const QString& pickerTitle,
                                        AppKind kind)
{
    auto* section = new FormSection(title, context_.ui.theme);
    auto* picker = new AppPicker(kind);
    picker->setObjectName(kind == AppKind::terminal ? QStringLiteral("terminalPicker")
                                                    : QStringLiteral("editorPicker"));
    (kind == AppKind::terminal ? terminalPicker_ : editorPicker_) = picker;
    section->addLabelledRow(pickerTitle, picker);
    AppModel* model = &context_.ui.model;
    connect(picker, &AppPicker::selectionPicked, this, [model, kind](const QString& tag) {
        editSettings(*model, [&](AppSettings& s) { selectionOf(s, kind) = tag; });
    });
    connect(picker, &AppPicker::otherRequested, this, [this, kind] { pickOther(kind); });
    return section;
}

void SettingsWindow::pickOther(AppKind kind)
{
    // Until a program is chosen the picker shows the stored selection again, so a cancelled
    // chooser leaves everything as it was.
    refreshPickers();
    if (!context_.choosers.application)
        return;
    AppModel* model = &context_.ui.model;
    context_.choosers.application(this, [model, kind](const QString& path) {
        editSettings(*model, [&](AppSettings& s) { selectionOf(s, kind) = path; });
    });
}

void SettingsWindow::refreshPickers()
{
    const AppModel& model = context_.ui.model;
    const AppSettings& settings = model.settings();
    const Palette& palette = context_.ui.theme.palette();
    const auto automaticName = [](const QList<ExternalApp>& installed) -> std::optional<QString> {
        if (const auto app = resolveApp(QString(), installed))
            return app->name;
        return std::nullopt;
    };
    terminalPicker_->setEntries(model.installedTerminals(), settings.terminalApp,
                                automaticName(model.installedTerminals()), palette);
    editorPicker_->setEntries(model.installedEditors(), settings.editorApp,
                              automaticName(model.installedEditors()), palette);
    if (editorCommand_->text() != settings.editorCommand)
        editorCommand_->setText(settings.editorCommand);
}

void SettingsWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    general_->readLoginStatus();
}
