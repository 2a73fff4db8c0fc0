#pragma once

#include <QWidget>

class IconView;
class QLabel;
struct Palette;

// A centred empty state: a Lucide icon, a title and a short explanation under it.
class EmptyStateBlock : public QWidget
{
    Q_OBJECT

public:
    explicit EmptyStateBlock(QWidget* parent = nullptr);

    void setContent(const QString& icon, const QString& title, const QString& text);
    QString title() const;
    QString text() const;
    QString icon() const;
    void applyPalette(const Palette& palette);

private:
    IconView* icon_;
    QLabel* title_;
    QLabel* text_;
};
