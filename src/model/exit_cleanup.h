#pragma once

// Makes sure no dev server outlives the application on any way of ending it can observe:
//
//   - Quit (menu, tray, closing the window without a tray) and SIGTERM, SIGINT or SIGHUP (the
//     session ending, a terminal): the event loop stops every server with the usual escalation,
//     each exit removes its running record, then the loop ends. Nothing is left for the rest.
//   - exit() from anywhere else, which never returns to the event loop (Qt calls it when the X11
//     or Wayland connection breaks; a library may): the atexit handler installed here stops
//     every live group synchronously, SIGTERM then SIGKILL, 2 s in all, and removes the running
//     records of the groups that are gone.
//   - A fatal signal (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT from std::terminate or a failed
//     assertion): the handler of LiveGroups sends SIGTERM to every live group and re-raises. The
//     running records stay, so that the next launch's recovery finds whatever survived.
//   - SIGKILL cannot be observed: the next launch's recovery finds the records and offers to
//     stop what is still running.
//
// Installed once, late in start-up (after Qt's own global objects exist, so that the handler
// runs before they are destroyed). Installing again changes nothing.
void installExitCleanup();
