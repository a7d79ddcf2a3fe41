#include "tests/fuzz/FuzzSupport.h"

#include "viewer/content/readers/WireFile.h"

#include <cmath>
#include <cstdlib>
#include <sstream>

using namespace osgTAVRI;

const std::size_t tavrifuzz::maxInputLength = 2048;

void tavrifuzz::writeSeeds(Seeds& seeds)
{
    std::ostringstream out;
    WireFile::write(out, {{1510000.5, 6401000.25, 25.0}, {1510010.0, 6401090.0, 23.125}, {1510020.0, 6401180.0, 26.0}});
    seeds.add("wire.txt", out.str());
    seeds.add("wire-damaged.txt", "6401000,1510000\n,25\n\n1e308,-1e308,nan\r\n6401000,1510000,inf\n6401000,1510000,2");
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::istringstream in(tavrifuzz::bytesOf(data, size));
    ProblemLog problems("fuzz wire");
    for (const osg::Vec3d& point : WireFile::read(in, problems))
        if (!point.valid())
            std::abort();
    return 0;
}
