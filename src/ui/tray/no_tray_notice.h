#pragma once

#include <QWidget>

class QLabel;
class Theme;

// A one-line notice at the top of the main window, shown when the desktop has no system tray:
// closing the window quits instead of leaving the application in a tray nobody can see. It says
// so once; its close button removes it.
class NoTrayNotice : public QWidget
{
    Q_OBJECT

public:
    static constexpr const char* text =
        "This desktop has no system tray: closing this window quits Tallowmere.";

    NoTrayNotice(Theme& theme, QWidget* parent = nullptr);

    // Puts a notice above the content of `window` (whose layout is a box layout).
    static NoTrayNotice* addTo(QWidget* window, Theme& theme);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void applyScheme();

    Theme& theme_;
    QLabel* label_;
};
