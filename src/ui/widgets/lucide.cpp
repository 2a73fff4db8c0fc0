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
        Q_INIT_RESOURCE(brands);
        return true;
    }();
    (void)done;
}

namespace {

// The SVG text of each resource ("lucide-NAME" or "brand-NAME"), read once.
const QByteArray& source(const QString& asset)
{
    registerIconResources();
    static QHash<QString, QByteArray> sources;
    auto it = sources.find(asset);
    if (it == sources.end()) {
        QFile file(QStringLiteral(":/icons/") + asset + QStringLiteral(".svg"));
        QByteArray data;
        if (file.open(QIODevice::ReadOnly))
            data = file.readAll();
        it = sources.insert(asset, data);
    }
    return *it;
}

// Renders a template image: "currentColor" becomes `color`, the alpha becomes the opacity.
// `inset` is the share of the side left empty on each edge.
QPixmap tinted(const QString& asset, const QColor& color, int size, qreal devicePixelRatio,
               qreal inset = 0.0)
{
    if (size <= 0)
        return {};
    static QCache<QString, QPixmap> cache(400);
    const QString key = asset + QLatin1Char('|') + color.name(QColor::HexArgb) + QLatin1Char('|') +
                        QString::number(size) + QLatin1Char('|') +
                        QString::number(devicePixelRatio);
    if (const QPixmap* hit = cache.object(key))
        return *hit;

    const QByteArray& svg = source(asset);
    if (svg.isEmpty())
        return {};
    QByteArray coloured = svg;
    coloured.replace("currentColor", color.name(QColor::HexRgb).toLatin1());
    QSvgRenderer renderer(coloured);
    if (!renderer.isValid())
        return {};

    const int pixels = qRound(size * devicePixelRatio);
    QPixmap image(pixels, pixels);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setOpacity(color.alphaF());
        const qreal margin = pixels * inset;
        renderer.render(&painter, QRectF(margin, margin, pixels - 2 * margin, pixels - 2 * margin));
    }
    image.setDevicePixelRatio(devicePixelRatio);
    cache.insert(key, new QPixmap(image));
    return image;
}

QString lucideAsset(const QString& name)
{
    return QStringLiteral("lucide-") + name;
}

QString brandAsset(const QString& name)
{
    return QStringLiteral("brand-") + name;
}

} // namespace

namespace Lucide {

bool exists(const QString& name)
{
    return !source(lucideAsset(name)).isEmpty();
}

QPixmap pixmap(const QString& name, const QColor& color, int size, qreal devicePixelRatio)
{
    return tinted(lucideAsset(name), color, size, devicePixelRatio);
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

namespace BrandLogo {

bool exists(const QString& name)
{
    return !name.isEmpty() && !source(brandAsset(name)).isEmpty();
}

QPixmap pixmap(const QString& name, const QColor& color, int size, qreal devicePixelRatio)
{
    // Lucide draws within 20 of its 24 units; the logos fill all 24. The same margin gives a
    // logo the weight of the line icons beside it.
    return tinted(brandAsset(name), color, size, devicePixelRatio, 2.0 / 24.0);
}

} // namespace BrandLogo
