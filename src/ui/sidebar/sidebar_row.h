#pragma once

#include "runs/project_status.h"
#include "ui/theme/status_display.h"
#include "ui/widgets/kind_icon.h"

#include <QPointer>
#include <QWidget>

class IconButton;
class PulseClock;
class QPainter;
class QVariantAnimation;
struct Palette;

// What one sidebar row shows, computed from the model by the list.
struct RowContent
{
    QString path;
    QString displayName;
    QString subtitle;
    KindIcon kindIcon;
    ProjectStatus status;
    bool favorite = false;
    bool hidden = false;
    QString traffic; // "12/min" while the server answers requests

    friend bool operator==(const RowContent&, const RowContent&) = default;
};

// One project in the sidebar: its framework's logo (or line icon), name over subtitle (and the
// traffic figure at the end of the subtitle's line), and a trailing slot with the status dot, or,
// while the pointer is over the row, the favourite and start/stop buttons. The row paints itself
// (a list of hundreds stays cheap); the two buttons are made on first hover.
class SidebarRow : public QWidget
{
    Q_OBJECT

public:
    SidebarRow(PulseClock& clock, const Palette& palette, QWidget* parent = nullptr);
    ~SidebarRow() override;

    const RowContent& content() const { return content_; }
    void setContent(const RowContent& content);
    bool isSelected() const { return selected_; }
    void setSelected(bool selected);
    bool isHovered() const { return hovered_; }
    // The keyboard focus ring around the row (the list has the focus and this row is selected).
    bool showsFocusRing() const { return focusRing_; }
    void setFocusRing(bool shown);
    void setPalette(const Palette& palette);

    // The hover buttons (null until the row was first hovered).
    IconButton* favoriteButton() const { return favoriteButton_; }
    IconButton* startStopButton() const { return startStopButton_; }
    // Shows or hides the hover buttons as the pointer would.
    void setHovered(bool hovered);

    QSize sizeHint() const override;

signals:
    void clicked(const QString& path);
    void favoriteToggled(const QString& path, bool favorite);
    void startRequested(const QString& path);
    void stopRequested(const QString& path);
    void contextMenuRequested(const QString& path, const QPoint& globalPos);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void ensureButtons();
    void refreshButtons();
    void placeButtons();
    // Hovered, or still fading out after the pointer left.
    bool buttonsShown() const;
    void updatePulse();
    QPointF dotCentre() const;
    void paintText(QPainter& painter, int textLeft, int textWidth) const;

    // The clock may go first when a window tears down its children: held weakly.
    QPointer<PulseClock> clock_;
    const Palette* palette_;
    RowContent content_;
    bool selected_ = false;
    bool focusRing_ = false;
    bool hovered_ = false;
    bool holdingClock_ = false;
    IconButton* favoriteButton_ = nullptr;
    IconButton* startStopButton_ = nullptr;
    QVariantAnimation* fade_ = nullptr;
};
