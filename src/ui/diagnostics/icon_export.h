#pragma once

#include <QString>

// Writes the drawn application icon at 1024 pixels, transparent background, to
// FOLDER/icon-1024.png (creating the folder). When the icon cannot be drawn it writes
// "render failed" to FOLDER/error.txt instead. Write errors are ignored: the export run exits
// with code 0 either way.
void exportIcon(const QString& folder);
