#include "ui/diagnostics/icon_export.h"

#include "ui/about/app_icon_art.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QSaveFile>
#include <QSvgGenerator>

namespace {

const QString iconName = QStringLiteral("com.tallowmere.Tallowmere");
constexpr int themeSizes[] = {16, 24, 32, 48, 64, 128, 256, 512};

void writeText(const QString& path, const QByteArray& text)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(text);
        file.commit();
    }
}

void writePng(const QString& path, const QImage& image)
{
    QDir().mkpath(QFileInfo(path).path());
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && image.save(&file, "PNG"))
        file.commit();
}

// The same painting recorded as SVG: paths stay vectors, the soft shadows are embedded images.
void writeSvg(const QString& path)
{
    QDir().mkpath(QFileInfo(path).path());
    QSvgGenerator svg;
    svg.setFileName(path);
    svg.setSize(QSize(AppIconArt::canvasSize, AppIconArt::canvasSize));
    svg.setViewBox(QRect(0, 0, AppIconArt::canvasSize, AppIconArt::canvasSize));
    svg.setTitle(QStringLiteral("Tallowmere"));
    QPainter painter(&svg);
    painter.setRenderHint(QPainter::Antialiasing);
    AppIconArt::paint(painter, AppIconArt::canvasSize);
}

} // namespace

void exportIcon(const QString& folder)
{
    QDir().mkpath(folder);
    const QDir dir(folder);
    const QImage image = AppIconArt::render(AppIconArt::canvasSize);
    if (image.isNull()) {
        writeText(dir.filePath(QStringLiteral("error.txt")), "render failed");
        return;
    }
    writePng(dir.filePath(QStringLiteral("icon-1024.png")), image);
    for (const int side : themeSizes) {
        const QString size = QString::number(side) + u'x' + QString::number(side);
        writePng(dir.filePath(QStringLiteral("hicolor/") + size + QStringLiteral("/apps/") +
                              iconName + QStringLiteral(".png")),
                 AppIconArt::render(side));
    }
    writeSvg(
        dir.filePath(QStringLiteral("hicolor/scalable/apps/") + iconName + QStringLiteral(".svg")));
}
