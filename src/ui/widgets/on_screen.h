#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class QWidget;

// Whether `widget` can be seen: shown, in a window that is not minimised, and not entirely
// clipped away by its ancestors (a row scrolled out of its list, say). A tab not shown is not
// visible at all.
bool isOnScreen(const QWidget* widget);

// Tells when a widget comes on screen and when it leaves it, for work that only matters while
// it is seen (animations, polls). It notices the widget being shown and hidden, the widget or
// any ancestor moving or resizing (which is what scrolling does to a scroll area's content) and
// the window being minimised and restored. Owned by the widget it watches.
class OnScreenWatch : public QObject
{
    Q_OBJECT

public:
    explicit OnScreenWatch(QWidget* widget);

    bool onScreen() const { return onScreen_; }
    // Looks again, for changes none of the events above reports.
    void recheck();

signals:
    void changed(bool onScreen);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void watchAncestors();

    QWidget* widget_;
    QList<QPointer<QWidget>> ancestors_;
    bool onScreen_ = false;
};
