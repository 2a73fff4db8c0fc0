#pragma once

#include <QObject>
#include <QPointer>

class QFocusFrame;
class QWidget;
class Theme;

// The keyboard focus ring of one window: a rounded accent ring around the focused widget,
// shown only when the focus came from the keyboard (Tab, Shift+Tab, a shortcut), never after a
// click. Widgets that mark a part of themselves (the sidebar's selected row, a diagram card)
// set the property `ownFocusRing` and get no ring around the whole.
class FocusRing : public QObject
{
    Q_OBJECT

public:
    FocusRing(Theme& theme, QWidget* window);

    // The widget the ring is drawn around, or null while none is.
    QWidget* ringed() const;
    // Whether the window's focus last moved by the keyboard.
    static bool cameFromKeyboard(const QWidget* widget);

    static constexpr const char* ownRingProperty = "ownFocusRing";

private:
    void focusChanged(QWidget* now);

    Theme& theme_;
    QWidget* window_;
    QPointer<QFocusFrame> frame_;
};
