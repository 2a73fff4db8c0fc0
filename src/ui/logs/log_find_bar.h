#pragma once

#include <QWidget>

class IconButton;
class LogTextView;
class QLabel;
class QLineEdit;
struct Palette;

// The find bar over the log text: incremental search as the query is typed, "N of M", Enter and
// Shift+Enter (or the buttons) for the next and previous match, Escape to close. Closing it
// clears the highlights.
class LogFindBar : public QWidget
{
    Q_OBJECT

public:
    LogFindBar(LogTextView* text, QWidget* parent = nullptr);

    // Shows the bar with its field focused and its text selected.
    void open();
    void close();
    void applyPalette(const Palette& palette);
    QString countText() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showCount();

    LogTextView* text_;
    QLineEdit* field_;
    QLabel* count_;
    IconButton* previous_;
    IconButton* next_;
    IconButton* close_;
};
