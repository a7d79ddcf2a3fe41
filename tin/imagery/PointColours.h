#pragma once

#include "tin/tiling/TilePointStore.h"

#include <osg/Array>
#include <osg/Geometry>
#include <osg/ref_ptr>

#include <cstdint>
#include <string>
#include <vector>

namespace osgTAVRI
{

class LasPoint;

// The scan's own colours of a run's points (--colour rgb), kept beside their positions in a
// store of their own that receives them in the same order, and spills like it. LAS colour is
// 16 bits a channel; some scanners put 8 bits in the low byte, which shows in a file whose
// values all stay below 256, so the scale is chosen per file once it has been read.
class PointColours
{
public:
    explicit PointColours(std::uint64_t memoryBudget, const std::string& folder = "");

    void beginFile();
    // The point format of the file begun; one without colour gives white points, with one line.
    void setFormat(unsigned pointFormat, const std::string& file);
    // Every point the file yields, placed or not: the file's scale is judged on all of them.
    void observe(const LasPoint& point);
    void add(std::uint64_t tile, const LasPoint& point);
    void endFile();
    void dropFile();

    // The tile's points as the triangulator leaves them (finite, sorted by x, y, z, one per
    // XY position, the lowest), with their 8-bit colours.
    struct Taken
    {
        osg::ref_ptr<osg::Vec3dArray> points;
        osg::ref_ptr<osg::Vec4ubArray> colours;
    };
    // `points` are the tile's points as the point store gave them, in the order added.
    Taken take(std::uint64_t tile, const osg::Vec3dArray& points);

    // Colours the geometry's vertices: one to one when the triangulation kept every point,
    // else (a simplified tile) each vertex takes the colour of the nearest point.
    static void attach(osg::Geometry& geometry, const Taken& taken);

private:
    enum class Scale : unsigned char
    {
        None, // the format has no colour
        EightBit,
        SixteenBit
    };
    static osg::Vec4ub unpack(const osg::Vec3d& stored, Scale scale);

    TilePointStore store;
    std::vector<Scale> scales; // per file, in the order read
    std::uint16_t fileMaximum = 0;
    bool fileHasColour = true;
};

} // namespace osgTAVRI
