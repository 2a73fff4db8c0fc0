#include "ui/settings/folder_sections.h"

#include "base/deliver.h"
#include "base/product_name.h"
#include "model/app_model.h"
#include "ui/settings/folder_access.h"
#include "ui/settings/settings_context.h"
#include "ui/theme/theme.h"
#include "ui/ui_context.h"
#include "ui/widgets/buttons.h"
#include "ui/widgets/icon_view.h"
#include "ui/widgets/toggle_switch.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtConcurrent>

namespace {

// A row holding a vertical list of rows that is rebuilt as a whole.
QWidget* listRow(QVBoxLayout*& rows)
{
    auto* list = new QWidget;
    rows = new QVBoxLayout(list);
    rows->setContentsMargins(12, 8, 12, 8);
    rows->setSpacing(6);
    return list;
}

// A row of a root list: the path with "~" on the left, then whatever the caller adds.
QHBoxLayout* rootRow(const QString& root, const QString& objectName, Theme& theme, QWidget* list)
{
    auto* row = new QWidget(list);
    row->setObjectName(objectName);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    auto* path = formLabel(tildePath(root, QDir::homePath()), theme, &Palette::primaryText, row);
    path->setObjectName(QStringLiteral("rootPath"));
    path->setToolTip(root);
    path->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(path, 1);
    return layout;
}

} // namespace

ProjectFoldersSection::ProjectFoldersSection(SettingsContext& context, QWidget* parent)
    : FormSection(QStringLiteral("Project folders"), context.ui.theme, parent), context_(context),
      rootList_(listRow(rootRows_)),
      watch_(formSwitch(QStringLiteral("watchSwitch"), context.ui.theme))
{
    setObjectName(QStringLiteral("foldersSection"));
    rootList_->setObjectName(QStringLiteral("rootList"));
    addRow(rootList_);

    QHBoxLayout* buttons = addRowLayout(QStringLiteral("folderButtons"));
    auto* add = formButton(QStringLiteral("Add Folder…"), QStringLiteral("addFolderButton"),
                           theme(), buttons->parentWidget());
    auto* rescan = formButton(QStringLiteral("Rescan Now"), QStringLiteral("rescanButton"), theme(),
                              buttons->parentWidget());
    buttons->addWidget(add);
    buttons->addWidget(rescan);
    buttons->addStretch(1);

    addLabelledRow(QStringLiteral("Watch folders for new projects (inotify)"), watch_);

    AppModel* model = &context_.ui.model;
    connect(add, &QPushButton::clicked, this, [this, model] {
        if (context_.choosers.folder)
            context_.choosers.folder(
                window(), QStringLiteral("Add Folder"),
                QStringLiteral("Choose a folder to scan for Wrangler projects"),
                [model](const QString& folder) { model->addRoot(folder); });
    });
    connect(rescan, &QPushButton::clicked, model, &AppModel::rescan);
    connect(watch_, &ToggleSwitch::clicked, this, [model](bool on) {
        editSettings(*model, [on](AppSettings& s) { s.watchRoots = on; });
    });
    connect(model, &AppModel::settingsChanged, this,
            [this, model] { watch_->setChecked(model->settings().watchRoots); });
    connect(model, &AppModel::rootsChanged, this, &ProjectFoldersSection::showRoots);
    watch_->setChecked(model->settings().watchRoots);
    showRoots();
}

void ProjectFoldersSection::showRoots()
{
    clearRows(rootRows_);
    const QStringList& roots = context_.ui.model.roots();
    if (roots.isEmpty()) {
        auto* empty = formLabel(QStringLiteral("No folders added yet."), theme(),
                                &Palette::secondaryText, rootList_);
        empty->setObjectName(QStringLiteral("noFolders"));
        rootRows_->addWidget(empty);
    }
    AppModel* model = &context_.ui.model;
    for (const QString& root : roots) {
        QHBoxLayout* row = rootRow(root, QStringLiteral("rootRow"), theme(), rootList_);
        auto* remove = new IconButton(QStringLiteral("circle-minus"), 22, 16);
        remove->setObjectName(QStringLiteral("removeRootButton"));
        remove->setToolTip(QStringLiteral("Remove"));
        ThemeBinder::bind(remove, theme(),
                          [remove](const Palette& p) { remove->setIconColor(p.error); });
        connect(remove, &IconButton::clicked, model, [model, root] { model->removeRoot(root); });
        row->addWidget(remove);
        rootRows_->addWidget(row->parentWidget());
    }
}

FolderAccessSection::FolderAccessSection(SettingsContext& context, QWidget* parent)
    : FormSection(QStringLiteral("Access"), context.ui.theme, parent), context_(context),
      rowList_(listRow(rows_))
{
    setObjectName(QStringLiteral("accessSection"));
    rowList_->setObjectName(QStringLiteral("accessRows"));
    addRow(rowList_);

    QHBoxLayout* layout = addRowLayout(QStringLiteral("accessExplanationRow"));
    layout->setSpacing(12);
    explanation_ = layout->parentWidget();
    auto* text = formLabel(Product::name + QStringLiteral(" can't read some folders. Check their "
                                                          "permissions, then press Check again."),
                           theme(), &Palette::secondaryText, explanation_, true);
    text->setObjectName(QStringLiteral("accessExplanation"));
    text->setWordWrap(true);
    layout->addWidget(text, 1);
    auto* again = formButton(QStringLiteral("Check again"), QStringLiteral("checkAgainButton"),
                             theme(), explanation_);
    layout->addWidget(again, 0, Qt::AlignVCenter);

    connect(again, &QPushButton::clicked, this, &FolderAccessSection::check);
    connect(&context_.ui.model, &AppModel::rootsChanged, this, [this] {
        showRows();
        check();
    });
    showRows();
}

void FolderAccessSection::showEvent(QShowEvent* event)
{
    FormSection::showEvent(event);
    check();
}

void FolderAccessSection::check()
{
    const quint64 generation = ++generation_;
    // Demo roots are made up: there is nothing on disk to check.
    const AppModel& model = context_.ui.model;
    const QStringList roots = model.isDemo() ? QStringList() : model.roots();
    deliverTo(this, QtConcurrent::run([roots] { return unreadableFolders(roots); }),
              [this, generation](const QSet<QString>& blocked) {
                  if (generation != generation_)
                      return;
                  blocked_ = blocked;
                  showRows();
              });
}

void FolderAccessSection::showRows()
{
    clearRows(rows_);
    const QStringList& roots = context_.ui.model.roots();
    if (roots.isEmpty()) {
        auto* hint = formLabel(
            QStringLiteral("Add a project folder above and its access status shows here."), theme(),
            &Palette::secondaryText, rowList_);
        hint->setObjectName(QStringLiteral("accessHint"));
        hint->setWordWrap(true);
        rows_->addWidget(hint);
    }
    bool anyBlocked = false;
    for (const QString& root : roots) {
        const bool blocked = blocked_.contains(root);
        anyBlocked = anyBlocked || blocked;
        QHBoxLayout* row = rootRow(root, QStringLiteral("accessRow"), theme(), rowList_);
        auto* icon = new IconView(
            blocked ? QStringLiteral("triangle-alert") : QStringLiteral("circle-check"), 14);
        const ThemeBinder::PaletteColor color = blocked ? &Palette::starting : &Palette::running;
        ThemeBinder::bind(icon, theme(),
                          [icon, color](const Palette& p) { icon->setColor(p.*color); });
        row->addWidget(icon);
        auto* status =
            formLabel(blocked ? QStringLiteral("No access") : QStringLiteral("Allowed"), theme(),
                      blocked ? &Palette::starting : &Palette::secondaryText, nullptr, true);
        status->setObjectName(QStringLiteral("accessStatus"));
        row->addWidget(status);
        rows_->addWidget(row->parentWidget());
    }
    explanation_->setVisible(anyBlocked);
}
