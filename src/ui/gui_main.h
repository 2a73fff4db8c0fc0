#pragma once

// Starts the windowed application: launch checks, the model, the main window. Returns the
// process exit code.
int runGui(int argc, char** argv);
