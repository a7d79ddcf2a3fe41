#pragma once

#include <cstdint>

namespace osgTAVRI
{

// One decoded point record: scaled coordinates, the return bits the filters use, and the
// 16-bit colour of the formats that carry one (0 for the others).
class LasPoint
{
public:
    double getX() const { return x; }
    double getY() const { return y; }
    double getZ() const { return z; }
    std::uint16_t getReturnNumber() const { return returnNumber; }
    std::uint16_t getNumberOfReturns() const { return numberOfReturns; }
    std::uint8_t getClassification() const { return classification; }
    std::uint16_t getRed() const { return rgb[0]; }
    std::uint16_t getGreen() const { return rgb[1]; }
    std::uint16_t getBlue() const { return rgb[2]; }

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

    void setColour(std::uint16_t red, std::uint16_t green, std::uint16_t blue)
    {
        rgb[0] = red;
        rgb[1] = green;
        rgb[2] = blue;
    }

private:
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    std::uint16_t returnNumber = 0;
    std::uint16_t numberOfReturns = 0;
    std::uint8_t classification = 0;
    std::uint16_t rgb[3] = {0, 0, 0};
};

} // namespace osgTAVRI
