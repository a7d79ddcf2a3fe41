#pragma once

namespace osgTAVRI
{

// The whole program: parse, lay out the tiles and check their names, read the inputs once,
// build the tiles on worker threads, report times and what was written.
int runTin(int argc, char** argv);

} // namespace osgTAVRI
