// The windowed application. `tallowmere` starts it in place of itself (see window_launch.h), so
// that the command line never loads the GUI libraries.
#include "ui/gui_main.h"

int main(int argc, char** argv)
{
    return runGui(argc, argv);
}
