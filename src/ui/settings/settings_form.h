#pragma once

#include "ui/theme/theme_binder.h"

#include <QString>
#include <QWidget>

class QHBoxLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;
class Theme;
class ToggleSwitch;

// The grouped form of the settings window: titled sections whose rows sit on a card, divided by
// hairlines. Every helper binds its widget to the theme, so the form follows scheme changes.

// A label in the body (or caption) size, in `color` of the palette.
QLabel* formLabel(const QString& text, Theme& theme, ThemeBinder::PaletteColor color,
                  QWidget* parent, bool caption = false);
// A secondary text button.
QPushButton* formButton(const QString& text, const QString& objectName, Theme& theme,
                        QWidget* parent);
// A switch in the accent colour.
ToggleSwitch* formSwitch(const QString& objectName, Theme& theme);

// One section: an upper-case title above a card of rows.
class FormSection : public QWidget
{
    Q_OBJECT

public:
    FormSection(const QString& title, Theme& theme, QWidget* parent = nullptr);

    Theme& theme() const { return theme_; }
    // Appends a row to the card (below a divider when it is not the first).
    void addRow(QWidget* row);
    // A new row with a horizontal layout (12 px margins), already added to the card.
    QHBoxLayout* addRowLayout(const QString& objectName = QString());
    // A row with a label (and an optional help line under it) on the left and `control` on the
    // right, added to the card. Returns the layout of the label and help line.
    QVBoxLayout* addLabelledRow(const QString& label, QWidget* control,
                                const QString& help = QString());

private:
    Theme& theme_;
    QWidget* card_;
    QVBoxLayout* rows_;
};

// Removes every row of a list that is rebuilt as a whole. A row may hold the button whose click
// caused the rebuild, so rows are detached at once and deleted later, from the event loop.
void clearRows(QVBoxLayout* rows);

// A path with the home folder shown as "~".
QString tildePath(const QString& path, const QString& home);
