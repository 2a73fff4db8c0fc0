#include "ui/diagnostics/icon_export.h"

#include "ui/about/app_icon_art.h"

#include <QDir>
#include <QSaveFile>

void exportIcon(const QString& folder)
{
    QDir().mkpath(folder);
    const QImage image = AppIconArt::render(AppIconArt::canvasSize);
    const QDir dir(folder);
    if (image.isNull()) {
        QSaveFile error(dir.filePath(QStringLiteral("error.txt")));
        if (error.open(QIODevice::WriteOnly)) {
            error.write("render failed");
            error.commit();
        }
        return;
    }
    QSaveFile file(dir.filePath(QStringLiteral("icon-1024.png")));
    if (file.open(QIODevice::WriteOnly) && image.save(&file, "PNG"))
        file.commit();
}
