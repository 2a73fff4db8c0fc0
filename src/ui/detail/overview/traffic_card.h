#pragma once

#include "presentation/traffic_card.h"

#include <QFrame>

class OnScreenTimer;
class QBoxLayout;
class QLabel;
class ServerActivity;
class Theme;
class TrafficSparkline;
class TrafficRequestList;

// The "Traffic" card of a running project: requests per minute, error share and latency over
// the last five minutes, a sparkline of requests per minute over the hour, and the slowest and
// latest failed requests. It reads the server's activity once a second while it is on the
// screen, and only redraws when a request came in or the window moved on; hidden (another tab,
// the window hidden or minimised, the project not running) it reads and draws nothing.
class TrafficCard : public QFrame
{
    Q_OBJECT

public:
    TrafficCard(Theme& theme, ServerActivity* activity, QWidget* parent = nullptr);

    // Reads the activity again now, if the card is on the screen.
    void refresh();
    const TrafficCardContent& content() const { return content_; }

    static constexpr int refreshMillis = 1000;
    // Narrower than this, the two lists stand one above the other.
    static constexpr int stackBelowWidth = 720;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void apply(const TrafficCardContent& content);

    Theme& theme_;
    ServerActivity* activity_;
    OnScreenTimer* timer_;
    // What the shown content was read from: a read with neither moved changes nothing.
    quint64 readRevision_ = 0;
    qint64 readSlot_ = -1;
    TrafficCardContent content_;

    QLabel* title_;
    QLabel* windowCaption_;
    QLabel* empty_;
    QWidget* body_;
    QList<QLabel*> figureValues_;
    QList<QLabel*> figureLabels_;
    TrafficSparkline* sparkline_;
    QLabel* historyCaption_;
    TrafficRequestList* slowest_;
    TrafficRequestList* failed_;
    QBoxLayout* lists_;
};
