#pragma once

#include <QColor>
#include <QWidget>

class IconView;
class QLabel;
class QVariantAnimation;
struct Palette;

// The memory figure of a running project: icon and byte count, green below 400 MiB, amber
// below 800 MiB, red from 800 MiB. Colour changes fade over 0.3 s.
class MemoryBadge : public QWidget
{
    Q_OBJECT

public:
    explicit MemoryBadge(QWidget* parent = nullptr);

    quint64 bytes() const { return bytes_; }
    void setBytes(quint64 bytes, const Palette& palette);
    // The colour the badge is heading for (the end of a running fade).
    QColor targetColor() const { return target_; }
    QString text() const;

private:
    void paintColor(const QColor& color);

    quint64 bytes_ = 0;
    QColor target_;
    QColor shown_;
    IconView* icon_;
    QLabel* label_;
    QVariantAnimation* fade_;
};
