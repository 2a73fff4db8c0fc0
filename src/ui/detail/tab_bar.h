#pragma once

#include "model/detail_tab.h"

#include <QList>
#include <QWidget>

class QPropertyAnimation;
class TabItem;
struct Palette;

// The row of tabs under the project header. The selected tab is underlined; the underline
// slides to a newly selected tab. Clicking a tab only asks for it (`tabClicked`): the owner
// sets the model's selected tab and calls `setSelected` back.
class TabBar : public QWidget
{
    Q_OBJECT

public:
    explicit TabBar(const Palette& palette, QWidget* parent = nullptr);

    DetailTab selected() const { return selected_; }
    void setSelected(DetailTab tab);
    void applyPalette(const Palette& palette);
    TabItem* item(DetailTab tab) const;

signals:
    void tabClicked(DetailTab tab);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QRect underlineFor(DetailTab tab) const;

    const Palette* palette_;
    DetailTab selected_ = DetailTab::overview;
    QList<TabItem*> items_;
    QWidget* underline_;
    QPropertyAnimation* slide_;
    bool placed_ = false;
};

// One tab: icon and title; hovering brightens it. Tab reaches it, Space or Enter chooses it.
class TabItem : public QWidget
{
    Q_OBJECT

public:
    TabItem(DetailTab tab, QWidget* parent = nullptr);

    DetailTab tab() const { return tab_; }
    void setState(bool selected, const Palette& palette);
    QSize sizeHint() const override;

signals:
    void clicked(DetailTab tab);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    DetailTab tab_;
    bool selected_ = false;
    bool hovered_ = false;
    const Palette* palette_ = nullptr;
};
