#pragma once

#include <QString>

// Writes the drawn application icon, transparent background, into FOLDER (creating it):
// icon-1024.png, and the hicolor theme's files under FOLDER/hicolor: NxN/apps/ICON.png for the
// installed sizes and scalable/apps/ICON.svg, ICON being the desktop entry's icon name. When
// the icon cannot be drawn it writes "render failed" to FOLDER/error.txt instead. Write errors
// are ignored: the export run exits with code 0 either way.
void exportIcon(const QString& folder);
