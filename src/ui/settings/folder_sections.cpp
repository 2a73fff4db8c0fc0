#include "ui/settings/folder_sections.h"

#include "base/deliver.h"
#include "base/product_name.h"
#include "core/model/app_model.h"
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

// A widget holding a vertical list of rows that is rebuilt as a whole.
QWidget* listRow(QVBoxLayout*& rows)
{
    auto* list = new QWidget;
    rows = new QVBoxLayout(list);
    rows->setContentsMargins(12, 8, 12, 8);
    rows->setSpacing(6);
    return list;
}

// Removes every row. A row may hold the button whose click caused the change, so rows are
// detached at once and deleted later, from the event loop.
void clearList(QVBoxLayout* rows)
{
    while (QLayoutItem* item = rows->takeAt(0)) {
        if (QWidget* row = item->widget()) {
            row->hide();
            row->setParent(nullptr);
            row->deleteLater();
        }
        delete item;
    }
}

QLabel* pathLabel(const QString& root, QWidget* parent)
{
    auto* label = formLabel(tildePath(root, QDir::homePath()), TextTone::primary, parent);
    label->setObjectName(QStringLiteral("rootPath"));
    label->setToolTip(root);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QPushButton* textButton(const QString& text, const QString& objectName, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(objectName);
    return button;
}

} // namespace

ProjectFoldersSection::ProjectFoldersSection(SettingsContext& context, QWidget* parent)
    : FormSection(QStringLiteral("Project folders"), context.ui.theme, parent), context_(context),
      rootList_(listRow(rootRows_)), watch_(new ToggleSwitch)
{
    setObjectName(QStringLiteral("foldersSection"));
    rootList_->setObjectName(QStringLiteral("rootList"));
    addRow(rootList_);

    QHBoxLayout* buttons = addRowLayout(QStringLiteral("folderButtons"));
    QWidget* buttonRow = buttons->parentWidget();
    auto* add =
        textButton(QStringLiteral("Add Folder…"), QStringLiteral("addFolderButton"), buttonRow);
    auto* rescan =
        textButton(QStringLiteral("Rescan Now"), QStringLiteral("rescanButton"), buttonRow);
    buttons->addWidget(add);
    buttons->addWidget(rescan);
    buttons->addStretch(1);

    watch_->setObjectName(QStringLiteral("watchSwitch"));
    addRow(labelledRow(QStringLiteral("Watch folders for new projects (inotify)"), watch_));

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
    applyPalette();
}

void ProjectFoldersSection::showRoots()
{
    clearList(rootRows_);
    const QStringList& roots = context_.ui.model.roots();
    if (roots.isEmpty()) {
        auto* empty =
            formLabel(QStringLiteral("No folders added yet."), TextTone::secondary, rootList_);
        empty->setObjectName(QStringLiteral("noFolders"));
        rootRows_->addWidget(empty);
    }
    AppModel* model = &context_.ui.model;
    for (const QString& root : roots) {
        auto* row = new QWidget(rootList_);
        row->setObjectName(QStringLiteral("rootRow"));
        auto* layout = new QHBoxLayout(row);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(pathLabel(root, row), 1);
        auto* remove = new IconButton(QStringLiteral("circle-minus"), 22, 16, row);
        remove->setObjectName(QStringLiteral("removeRootButton"));
        remove->setToolTip(QStringLiteral("Remove"));
        connect(remove, &IconButton::clicked, model, [model, root] { model->removeRoot(root); });
        layout->addWidget(remove);
        rootRows_->addWidget(row);
    }
    applyPalette();
}

void ProjectFoldersSection::applyPalette()
{
    const Palette& p = context_.ui.theme.palette();
    watch_->setColors(p.accent, p.tertiaryText);
    for (IconButton* remove : findChildren<IconButton*>(QStringLiteral("removeRootButton")))
        remove->setIconColor(p.error);
    for (QPushButton* button : findChildren<QPushButton*>())
        styleButton(button, ButtonStyle::secondary, p);
    applyTextTones(this, p);
}

FolderAccessSection::FolderAccessSection(SettingsContext& context, QWidget* parent)
    : FormSection(QStringLiteral("Access"), context.ui.theme, parent), context_(context),
      rowList_(listRow(rows_)), explanation_(new QWidget)
{
    setObjectName(QStringLiteral("accessSection"));
    rowList_->setObjectName(QStringLiteral("accessRows"));
    addRow(rowList_);

    explanation_->setObjectName(QStringLiteral("accessExplanationRow"));
    auto* layout = new QHBoxLayout(explanation_);
    layout->setContentsMargins(12, 8, 12, 8);
    layout->setSpacing(12);
    auto* text = formLabel(Product::name + QStringLiteral(" can't read some folders. Check their "
                                                          "permissions, then press Check again."),
                           TextTone::secondary, explanation_, true);
    text->setObjectName(QStringLiteral("accessExplanation"));
    text->setWordWrap(true);
    layout->addWidget(text, 1);
    auto* again =
        textButton(QStringLiteral("Check again"), QStringLiteral("checkAgainButton"), explanation_);
    layout->addWidget(again, 0, Qt::AlignVCenter);
    addRow(explanation_);

    connect(again, &QPushButton::clicked, this, &FolderAccessSection::check);
    connect(&context_.ui.model, &AppModel::rootsChanged, this, [this] {
        showRows();
        check();
    });
    showRows();
    applyPalette();
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
    const QStringList roots =
        context_.ui.model.isDemo() ? QStringList() : context_.ui.model.roots();
    deliverTo(this, QtConcurrent::run([roots] { return unreadableFolders(roots); }),
              [this, generation](const QSet<QString>& blocked) {
                  if (generation != generation_)
                      return;
                  blocked_ = blocked;
                  showRows();
                  emit checked();
              });
}

void FolderAccessSection::showRows()
{
    clearList(rows_);
    const QStringList& roots = context_.ui.model.roots();
    if (roots.isEmpty()) {
        auto* hint = formLabel(
            QStringLiteral("Add a project folder above and its access status shows here."),
            TextTone::secondary, rowList_);
        hint->setObjectName(QStringLiteral("accessHint"));
        hint->setWordWrap(true);
        rows_->addWidget(hint);
    }
    bool anyBlocked = false;
    for (const QString& root : roots) {
        const bool blocked = blocked_.contains(root);
        anyBlocked = anyBlocked || blocked;
        auto* row = new QWidget(rowList_);
        row->setObjectName(QStringLiteral("accessRow"));
        auto* layout = new QHBoxLayout(row);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(6);
        layout->addWidget(pathLabel(root, row), 1);
        auto* icon = new IconView(
            blocked ? QStringLiteral("triangle-alert") : QStringLiteral("circle-check"), 14, row);
        icon->setObjectName(QStringLiteral("accessIcon"));
        layout->addWidget(icon);
        auto* status = formLabel(blocked ? QStringLiteral("No access") : QStringLiteral("Allowed"),
                                 blocked ? TextTone::warning : TextTone::secondary, row, true);
        status->setObjectName(QStringLiteral("accessStatus"));
        layout->addWidget(status);
        rows_->addWidget(row);
    }
    explanation_->setVisible(anyBlocked);
    applyPalette();
}

void FolderAccessSection::applyPalette()
{
    const Palette& p = context_.ui.theme.palette();
    for (IconView* icon : findChildren<IconView*>(QStringLiteral("accessIcon")))
        icon->setColor(icon->name() == QStringLiteral("triangle-alert") ? p.starting : p.running);
    for (QPushButton* button : findChildren<QPushButton*>())
        styleButton(button, ButtonStyle::secondary, p);
    applyTextTones(this, p);
}
