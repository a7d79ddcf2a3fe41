#pragma once

#include <cstdint>

namespace osgTAVRI
{

// One decoded point record: scaled coordinates and the return bits the filters use.
class LasPoint
{
public:
    double getX() const { return x; }
    double getY() const { return y; }
    double getZ() const { return z; }
    std::uint16_t getReturnNumber() const { return returnNumber; }
    std::uint16_t getNumberOfReturns() const { return numberOfReturns; }
    std::uint8_t getClassification() const { return classification; }

    void set(double px, double py, double pz, std::uint16_t ret, std::uint16_t count,
             std::uint8_t cls)
    {
        x = px;
        y = py;
        z = pz;
        returnNumber = ret;
        numberOfReturns = count;
        classification = cls;
    }

private:
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    std::uint16_t returnNumber = 0;
    std::uint16_t numberOfReturns = 0;
    std::uint8_t classification = 0;
};

} // namespace osgTAVRI
