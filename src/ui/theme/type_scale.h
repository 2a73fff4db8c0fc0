#pragma once

#include <QFont>

// The type scale of the interface, in pixels of the desktop's UI font (monospaced text uses the
// desktop's fixed font).
namespace TypeScale {

QFont projectTitle();    // 26 semibold
QFont emptyStateTitle(); // 20 semibold
QFont heading();         // 15 semibold
QFont body();            // 13 regular
QFont bodyMedium();      // 13 medium: row names, tab labels
QFont caption();         // 12 regular
QFont captionMedium();   // 12 medium: status chip
QFont monospaced();      // 12 fixed: paths, commands, logs
QFont sectionHeader();   // 11 semibold, letter spacing 0.6, shown upper-cased

} // namespace TypeScale
