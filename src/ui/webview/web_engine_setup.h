#pragma once

#include <QString>

#include <optional>

// Process-wide settings the web engine needs before the QApplication exists: no Chromium
// sandbox (and so no zygote) when the effective user is root, since Chromium refuses to start
// otherwise, and shared OpenGL contexts (a web view created without them crashes).
void prepareWebEngineProcess();

// Why no web view can be created in this process, or none when one can. Checked before every
// view, so that a missing helper program or a late attribute never aborts the application.
std::optional<QString> webEngineUnavailableReason();
