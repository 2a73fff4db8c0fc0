#pragma once

#include <QImage>

class QPainter;

// The drawn application icon: a rounded red square with a white cloud, designed on a
// 1024-pixel canvas and scaled to whatever square it is painted into.
namespace AppIconArt {

constexpr int canvasSize = 1024;

// Paints the icon into the square (0, 0, side, side) of the painter's device.
void paint(QPainter& painter, int side);

// The icon as an image with a transparent background; a null image when it cannot be drawn.
QImage render(int side = canvasSize);

} // namespace AppIconArt
