#pragma once

#include <QString>

#include <optional>

// Process-wide settings the web engine reads when it starts: no Chromium sandbox (and so no
// zygote) when the effective user is root, since Chromium refuses to start otherwise. Shared
// OpenGL contexts, which a web view needs, are set up when the engine is opened.
void prepareWebEngineProcess();

// Why no web view can be created in this process, or none when one can. Checked before every
// view, so that a missing helper program or a late attribute never aborts the application.
std::optional<QString> webEngineUnavailableReason();

// Starts the web engine's colour scheme: pages see "prefers-color-scheme: dark" when `dark`
// is true the first time this is called, before the first web view exists. The engine keeps
// that scheme for the life of the process; returns the scheme it has (true for dark).
bool chooseWebEngineScheme(bool dark);
