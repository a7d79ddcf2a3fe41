#include "tests/fuzz/FuzzSupport.h"

#include "viewer/content/readers/PylonList.h"

#include <cmath>
#include <cstdlib>
#include <sstream>

using namespace osgTAVRI;

const std::size_t tavrifuzz::maxInputLength = 2048;

void tavrifuzz::writeSeeds(Seeds& seeds)
{
    PylonRecord first;
    first.number = 1;
    first.label = "1";
    first.block = "Stolpe_N1";
    first.position.set(6401000.25, 1510000.5, 12.0);
    first.rz = 50.0;
    first.offset.set(0.0, 0.0, 1.5);
    PylonRecord arm = first;
    arm.block = "Arm";
    arm.position.set(-2.0, 0.0, 14.0);
    arm.target.set(2.0, 0.0, 14.0);
    PylonRecord second = first;
    second.number = 2;
    second.label = "2";
    second.position.set(6401180.0, 1510020.0, 15.5);
    std::ostringstream out;
    PylonList::write(out, {first, arm, second});
    seeds.add("pylons.txt", out.str());
    std::string crlf;
    for (char c : out.str())
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    seeds.add("pylons-crlf.txt", crlf);
    seeds.add("pylons-damaged.txt", "1,Stolpe,1e999,2,3,4,5,6,7,8,9,10,11,12\n2,Arm,1,2\n\n3,,nan,,,,,,,,,,,\n4,X,1,2,3");
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::istringstream in(tavrifuzz::bytesOf(data, size));
    ProblemLog problems("fuzz pylons");
    for (const PylonRecord& r : PylonList::read(in, problems))
        for (double value : {r.position.x(), r.position.y(), r.position.z(), r.rz, r.rx, r.ry, r.offset.x(),
                             r.offset.y(), r.offset.z(), r.target.x(), r.target.y(), r.target.z()})
            if (!std::isfinite(value))
                std::abort();
    return 0;
}
