#include "ui/settings/app_picker.h"

#include "desktop/app_resolution.h"
#include "ui/theme/palette.h"
#include "ui/widgets/lucide.h"

#include <QFileInfo>

AppPicker::AppPicker(AppKind kind, QWidget* parent) : QComboBox(parent), kind_(kind)
{
    setSizeAdjustPolicy(QComboBox::AdjustToContents);
    setMinimumWidth(200);
    connect(this, &QComboBox::activated, this, [this](int index) {
        const QString tag = itemData(index).toString();
        if (tag == otherTag)
            emit otherRequested();
        else
            emit selectionPicked(tag);
    });
}

void AppPicker::setEntries(const QList<ExternalApp>& installed, const QString& selection,
                           const std::optional<QString>& automatic, const Palette& palette)
{
    const QSignalBlocker blocker(this);
    clear();
    addItem(automatic ? QStringLiteral("Automatic (") + *automatic + u')'
                      : QStringLiteral("Automatic"),
            QString());
    insertSeparator(count());
    bool selectionListed = selection.isEmpty();
    for (const ExternalApp& app : installed) {
        addItem(appIcon(app.url, palette), app.name, app.id);
        selectionListed = selectionListed || app.id == selection;
    }
    // A program chosen by hand keeps an entry of its own while it is the selection.
    if (!selectionListed && selection.startsWith(u'/'))
        addItem(appIcon(selection, palette), appNameFromPath(selection), selection);
    insertSeparator(count());
    addItem(QStringLiteral("Other…"), otherTag);
    // A selection that is neither installed nor a path (an app since uninstalled) shows as
    // automatic, which is what resolution falls back to.
    const int current = findData(selection);
    setCurrentIndex(current >= 0 ? current : 0);
}

QStringList AppPicker::tags() const
{
    QStringList result;
    for (int i = 0; i < count(); ++i)
        result.append(itemData(i).toString());
    return result;
}

QIcon AppPicker::appIcon(const QString& program, const Palette& palette) const
{
    QIcon themed = QIcon::fromTheme(QFileInfo(program).fileName());
    if (!themed.isNull())
        return themed;
    return Lucide::icon(kind_ == AppKind::terminal ? QStringLiteral("terminal")
                                                   : QStringLiteral("app-window"),
                        palette.secondaryText, 16);
}
