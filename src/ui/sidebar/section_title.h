#pragma once

#include <QWidget>

#include <optional>

class QLabel;
class QVariantAnimation;
struct Palette;

// A section header of the sidebar: the title upper-cased, then the count.
class SectionTitle : public QWidget
{
    Q_OBJECT

public:
    explicit SectionTitle(QWidget* parent = nullptr);

    void setContent(const QString& title, std::optional<int> count);
    QString title() const { return title_; }
    std::optional<int> count() const { return count_; }
    void applyPalette(const Palette& palette);

private:
    QString title_;
    std::optional<int> count_;
    QLabel* titleLabel_;
    QLabel* countLabel_;
    QVariantAnimation* countAnimation_;
};
