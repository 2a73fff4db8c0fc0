#include "ui/about/app_icon_art.h"

#include "ui/widgets/lucide.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr qreal tileSide = 824;
constexpr qreal tileRadius = 186;
constexpr qreal cloudSide = 430;

// A soft shadow: the mask drawn in black at `opacity`, blurred by shrinking and growing it
// (smooth scaling twice is a cheap, good-enough blur for a one-off icon).
QImage blurredShadow(const QImage& mask, qreal opacity, int blur)
{
    QImage shadow(mask.size(), QImage::Format_ARGB32_Premultiplied);
    shadow.fill(Qt::transparent);
    {
        QPainter p(&shadow);
        p.drawImage(0, 0, mask);
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        p.fillRect(shadow.rect(), QColor(0, 0, 0, qRound(255 * opacity)));
    }
    const QSize small = (mask.size() / qMax(1, blur)).expandedTo(QSize(1, 1));
    return shadow.scaled(small, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .scaled(mask.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QPainterPath tilePath()
{
    const qreal inset = (AppIconArt::canvasSize - tileSide) / 2;
    QPainterPath path;
    path.addRoundedRect(QRectF(inset, inset, tileSide, tileSide), tileRadius, tileRadius);
    return path;
}

// Paints the icon into (0, 0, side, side). Shadows are made at the device's resolution, so a
// small icon costs small images.
void paintCanvas(QPainter& p, int side)
{
    const qreal scale = side / qreal(AppIconArt::canvasSize);
    const auto blurFactor = [scale](int canvasBlur) { return qMax(1, qRound(canvasBlur * scale)); };
    const QPainterPath tile = tilePath();
    const QRectF tileRect = tile.boundingRect();

    // Drop shadow under the tile.
    QImage tileMask(side, side, QImage::Format_ARGB32_Premultiplied);
    tileMask.fill(Qt::transparent);
    {
        QPainter m(&tileMask);
        m.setRenderHint(QPainter::Antialiasing);
        m.scale(scale, scale);
        m.fillPath(tile, Qt::black);
    }
    p.drawImage(QPointF(0, 18 * scale), blurredShadow(tileMask, 0.28, blurFactor(24)));

    p.save();
    p.scale(scale, scale);
    // The tile: red vertical gradient.
    QLinearGradient fill(tileRect.topLeft(), tileRect.bottomLeft());
    fill.setColorAt(0.0, QColor(QStringLiteral("#FF6A7C")));
    fill.setColorAt(0.5, QColor(QStringLiteral("#FF3253")));
    fill.setColorAt(1.0, QColor(QStringLiteral("#D91C3E")));
    p.fillPath(tile, fill);

    // Highlight: white at 55 % at the top, gone by the centre.
    QLinearGradient highlight(tileRect.topLeft(), QPointF(tileRect.left(), tileRect.center().y()));
    highlight.setColorAt(0.0, QColor(255, 255, 255, qRound(255 * 0.55)));
    highlight.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.save();
    p.setClipPath(tile);
    p.fillRect(tileRect, highlight);
    p.restore();

    // Edge stroke.
    p.setPen(QPen(QColor(255, 255, 255, 60), 4));
    p.drawPath(tile);
    p.setPen(Qt::NoPen);
    p.restore();

    // The cloud with its shadow, drawn at device size.
    const QRectF cloudRect((AppIconArt::canvasSize - cloudSide) / 2, 512 - cloudSide / 2 - 40,
                           cloudSide, cloudSide);
    const QRectF cloudOnDevice(cloudRect.topLeft() * scale, cloudRect.size() * scale);
    const QPixmap cloud =
        Lucide::pixmap(QStringLiteral("cloud"), Qt::white, qRound(cloudOnDevice.width()));
    if (!cloud.isNull()) {
        QImage cloudMask(side, side, QImage::Format_ARGB32_Premultiplied);
        cloudMask.fill(Qt::transparent);
        {
            QPainter m(&cloudMask);
            m.drawPixmap(cloudOnDevice.topLeft(), cloud);
        }
        p.drawImage(QPointF(0, 10 * scale), blurredShadow(cloudMask, 0.18, blurFactor(16)));
        p.drawPixmap(cloudOnDevice.topLeft(), cloud);
    }

    // The light bar beneath the cloud.
    p.save();
    p.scale(scale, scale);
    const QRectF bar((AppIconArt::canvasSize - 300) / 2.0, cloudRect.bottom() + 20, 300, 34);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, qRound(255 * 0.35)));
    p.drawRoundedRect(bar, 17, 17);
    p.restore();
}

} // namespace

namespace AppIconArt {

void paint(QPainter& painter, int side)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    paintCanvas(painter, side);
    painter.restore();
}

QImage render(int side)
{
    if (side <= 0)
        return {};
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return {};
    image.fill(Qt::transparent);
    QPainter painter(&image);
    paint(painter, side);
    painter.end();
    return image;
}

} // namespace AppIconArt
