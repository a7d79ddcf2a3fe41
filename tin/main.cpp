#include "common/ConsoleNotifyHandler.h"
#include "tin/TileDriver.h"

// Exit codes: 0 after a run, 1 for help or argument errors, -1 (255 on Linux) when no
// input file was found.
int main(int argc, char** argv)
{
    osgTAVRI::installConsole();
    return osgTAVRI::runTin(argc, argv);
}
