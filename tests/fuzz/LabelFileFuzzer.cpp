#include "tests/fuzz/FuzzSupport.h"

#include "viewer/content/readers/LabelFile.h"

#include <cmath>
#include <cstdlib>
#include <sstream>

using namespace osgTAVRI;

const std::size_t tavrifuzz::maxInputLength = 2048;

void tavrifuzz::writeSeeds(Seeds& seeds)
{
    LabelRecord station;
    station.text = "Bergsj\xf6 station";
    station.size = 3;
    station.x = 1510000.5;
    station.y = 6401000;
    station.z = 12;
    LabelRecord post = station;
    post.text = "km 12+400";
    post.size = 1;
    std::ostringstream out;
    LabelFile::write(out, {station, post});
    seeds.add("labels.txt", out.str());
    seeds.add("labels-damaged.txt", "V\xe4gen,99999999999,1,2,3\nBro,2,1e999,4,5\n\nTunnel,1,2\nSlut,1,2,3,4");
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::istringstream in(tavrifuzz::bytesOf(data, size));
    ProblemLog problems("fuzz labels");
    for (const LabelRecord& label : LabelFile::read(in, problems))
        if (!label.position().valid() || !std::isfinite(label.characterSize()))
            std::abort();
    return 0;
}
