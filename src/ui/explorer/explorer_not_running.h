#pragma once

#include <QWidget>

class IconView;
class QLabel;
class QPushButton;
struct Palette;

// The Explorer tab while the project does not run: why there is no page, and a button that
// starts the project (hidden while it is starting or running).
class ExplorerNotRunning : public QWidget
{
    Q_OBJECT

public:
    explicit ExplorerNotRunning(QWidget* parent = nullptr);

    QPushButton* startButton() const { return start_; }
    void setStartVisible(bool visible);
    void applyPalette(const Palette& palette);

signals:
    void startClicked();

private:
    IconView* icon_;
    QLabel* text_;
    QPushButton* start_;
};
