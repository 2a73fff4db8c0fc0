#include "ui/widgets/lucide.h"

#include <QCache>
#include <QFile>
#include <QHash>
#include <QPainter>
#include <QSvgRenderer>

// The icons live in a static library: register its resources before the first lookup.
static void registerIconResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(icons);
        return true;
    }();
    (void)done;
}

namespace {

QString resourcePath(const QString& name)
{
    return QStringLiteral(":/icons/lucide-") + name + QStringLiteral(".svg");
}

// The SVG text of each icon, read once.
const QByteArray& source(const QString& name)
{
    registerIconResources();
    static QHash<QString, QByteArray> sources;
    auto it = sources.find(name);
    if (it == sources.end()) {
        QFile file(resourcePath(name));
        QByteArray data;
        if (file.open(QIODevice::ReadOnly))
            data = file.readAll();
        it = sources.insert(name, data);
    }
    return *it;
}

} // namespace

namespace Lucide {

bool exists(const QString& name)
{
    return !source(name).isEmpty();
}

QPixmap pixmap(const QString& name, const QColor& color, int size, qreal devicePixelRatio)
{
    if (size <= 0)
        return {};
    static QCache<QString, QPixmap> cache(400);
    const QString key = name + QLatin1Char('|') + color.name(QColor::HexArgb) + QLatin1Char('|') +
                        QString::number(size) + QLatin1Char('|') +
                        QString::number(devicePixelRatio);
    if (const QPixmap* hit = cache.object(key))
        return *hit;

    const QByteArray& svg = source(name);
    if (svg.isEmpty())
        return {};
    QByteArray tinted = svg;
    tinted.replace("currentColor", color.name(QColor::HexRgb).toLatin1());
    QSvgRenderer renderer(tinted);
    if (!renderer.isValid())
        return {};

    const int pixels = qRound(size * devicePixelRatio);
    QPixmap image(pixels, pixels);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setOpacity(color.alphaF());
        renderer.render(&painter, QRectF(0, 0, pixels, pixels));
    }
    image.setDevicePixelRatio(devicePixelRatio);
    cache.insert(key, new QPixmap(image));
    return image;
}

QIcon icon(const QString& name, const QColor& color, int size, const QColor& disabledColor)
{
    QIcon result;
    for (const qreal ratio : {1.0, 2.0}) {
        result.addPixmap(pixmap(name, color, size, ratio), QIcon::Normal);
        if (disabledColor.isValid())
            result.addPixmap(pixmap(name, disabledColor, size, ratio), QIcon::Disabled);
    }
    return result;
}

} // namespace Lucide
