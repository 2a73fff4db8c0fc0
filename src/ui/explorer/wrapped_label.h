#pragma once

class QLabel;

// Gives a word-wrapped label a fixed width and the height its current text needs at that
// width. A layout that centres a widget sizes it by its size hint, which for wrapped text is
// computed at a width of the label's own choosing and cuts lines off; call again after the
// text or font changes.
void fitWrappedLabel(QLabel* label, int width);
