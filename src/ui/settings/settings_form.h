#pragma once

#include <QString>
#include <QWidget>

class QHBoxLayout;
class QLabel;
class QVBoxLayout;
class Theme;
struct Palette;

// The grouped form of the settings window: titled sections whose rows sit on a card, divided by
// hairlines. Texts carry a tone that the window re-applies when the scheme changes.

enum class TextTone { primary, secondary, error, success, warning };

// A label in the body or caption size with its tone recorded on it.
QLabel* formLabel(const QString& text, TextTone tone, QWidget* parent, bool caption = false);
// Gives every label under `root` that carries a tone the palette's colour for it.
void applyTextTones(QWidget* root, const Palette& palette);

// One section: an upper-case title above a card of rows.
class FormSection : public QWidget
{
    Q_OBJECT

public:
    FormSection(const QString& title, Theme& theme, QWidget* parent = nullptr);

    // Appends a row to the card (below a divider when it is not the first).
    void addRow(QWidget* row);
    // A new row with a horizontal layout (12 px margins), already added to the card.
    QHBoxLayout* addRowLayout(const QString& objectName = QString());

private:
    Theme& theme_;
    QWidget* card_;
    QVBoxLayout* rows_;
};

// A row with a label (and an optional help line under it) on the left and `control` on the right.
QWidget* labelledRow(const QString& label, QWidget* control, QLabel* help = nullptr,
                     QWidget* parent = nullptr);

// A path with the home folder shown as "~".
QString tildePath(const QString& path, const QString& home);
