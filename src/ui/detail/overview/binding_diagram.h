#pragma once

#include "presentation/binding_items.h"
#include "runs/project_status.h"

#include <QPixmap>
#include <QWidget>

#include <functional>
#include <optional>

class PulseClock;
struct Palette;
struct StatusDisplay;
struct UiContext;

// What the diagram draws: the worker at the left, one card per binding item at the right.
struct DiagramContent
{
    QString workerName;
    std::optional<QString> entry;
    QList<BindingItem> items;
    ProjectStatus status;
    QString configFile;

    friend bool operator==(const DiagramContent&, const DiagramContent&) = default;
};

// The bindings as a diagram over a dotted background: the worker node joined to each item's
// card by a cubic connector, and a row that opens the configuration in the editor. While the
// project runs, the window's animation clock (status_dot.h) moves pulses along the connectors
// while the diagram is on screen, repainting only the few pixels around each pulse; in every
// other state nothing ticks.
// Tab walks the cards and the config row one by one; Enter, Space or the menu key opens the
// focused card's menu (or the config), as a click or a right click does. The focus ring shows
// only when the focus came from the keyboard.
class BindingDiagram : public QWidget
{
    Q_OBJECT

public:
    using StatusOf = std::function<StatusDisplay(const QString& projectID)>;

    BindingDiagram(UiContext& ui, StatusOf statusOf, QWidget* parent = nullptr);

    void setContent(const DiagramContent& content);
    const DiagramContent& content() const { return content_; }
    // Repaints after a scheme change or a linked project's status change.
    void refresh();

    bool isAnimating() const;
    int hoveredIndex() const { return hovered_; }
    // The card (or, past the last card, the config row) that has the keyboard focus; -1 when
    // the diagram has no focus.
    int focusedIndex() const { return hasFocus() ? focused_ : -1; }
    bool showsFocusRing() const { return hasFocus() && keyboardFocus_; }
    QRectF workerRect() const;
    QRectF cardRect(int index) const;
    QRectF configRowRect() const;
    // The height the diagram needs at any width.
    int contentHeight() const;

    static constexpr int rowH = 52;
    static constexpr int gap = 10;
    static constexpr int workerH = 92;
    static constexpr int inset = 20;
    static constexpr int configRowH = 34;

signals:
    void configRowClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    struct Pulse
    {
        QPointF at;
        int item;
    };

    void syncAnimation();
    void tick();
    static QRect pulseRect(QPointF at);
    QRect connectorBand() const;
    QPointF workerAnchor() const;
    // The connectors come from a cached layer that changes only with the items, the size, the
    // hovered card and the scheme; a frame of the animation adds only the moving pulses.
    void paintConnectors(QPainter& painter, const Palette& p, const QRegion& dirty);
    void renderConnectors(const QRect& band, qreal ratio, const Palette& p);
    void paintWorker(QPainter& painter, const Palette& p) const;
    void paintCard(QPainter& painter, int index, const Palette& p) const;
    void paintConfigRow(QPainter& painter, const Palette& p) const;
    void setHovered(int index, bool configRow);
    void showMenu(int index);
    void activate(int index);
    int cardAt(const QPointF& at) const;
    QRectF focusRect(int index) const;
    void paintFocusRing(QPainter& painter, const Palette& p) const;

    UiContext& ui_;
    StatusOf statusOf_;
    DiagramContent content_;
    PulseClock* frames_;
    bool holdingFrames_ = false;
    QList<Pulse> pulses_; // where the current frame draws the pulses
    int hovered_ = -1;
    bool configHovered_ = false;
    int focused_ = 0;
    bool keyboardFocus_ = false;
    QPixmap connectors_;
    bool connectorsValid_ = false;
    QPixmap dotTile_;
    QColor dotTileColor_;
};
