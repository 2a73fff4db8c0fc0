#include "app/command_line.h"
#include "supervision/shell_environment.h"

#include <cstdio>

#ifdef TALLOWMERE_WITH_GUI
#include "ui/gui_main.h"
#endif

int main(int argc, char** argv)
{
    // Subcommands are handled before any window system is touched, so they work headless.
    if (const auto code = runCommandLine(argc, argv))
        return *code;
#ifdef TALLOWMERE_WITH_GUI
    if (!displayAvailable(ShellEnvironment::processEnvironment())) {
        std::fputs("tallowmere: no display to open the window on (DISPLAY and WAYLAND_DISPLAY "
                   "are unset); the subcommands work without one, see tallowmere --help\n",
                   stderr);
        return 1;
    }
    return runGui(argc, argv);
#else
    std::puts("Tallowmere: the window is not built yet; this build would start the main window "
              "and the tray icon. Try: tallowmere scan ROOT, tallowmere inspect PATH...");
    return 0;
#endif
}
