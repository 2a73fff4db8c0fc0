#pragma once

// Replaces this process with the windowed application `tallowmere-gui`, found beside this
// executable or in ../libexec/tallowmere/, with the same arguments. Returns only when that
// fails, with the exit code after saying why.
int launchWindow(char** argv);
