// Writes the demo's content beside its terrain: a power line of about twenty H-frame pylons
// from the western hills to an angle pylon and on across the valley and the railway, with
// its building blocks and catenary conductors, and information points along the railway.
// Pylons, stays and labels stand on the ground: their heights come from the terrain tiles
// that tin has built, through the same ray casts the viewer uses.
//
// Usage: make_demo_content <dist>
#include "demo/tools/DemoArea.h"
#include "demo/tools/DemoBlocks.h"

#include "common/AtomicFile.h"
#include "common/AtomicSceneFile.h"
#include "viewer/content/readers/LabelFile.h"
#include "viewer/content/builders/PylonBuilder.h"
#include "viewer/content/readers/PylonList.h"
#include "viewer/content/readers/WireFile.h"

#include <osg/Vec2d>
#include <osg/PagedLOD>
#include <osgDB/FileNameUtils>
#include <osgDB/FileUtils>
#include <osgDB/ReadFile>
#include <osgDB/Registry>
#include <osgUtil/IntersectionVisitor>
#include <osgUtil/LineSegmentIntersector>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <vector>

using osgTAVRI::PylonBuilder;
using osgTAVRI::PylonRecord;
using demo::insulatorLength;
using demo::mastHeight;
using demo::mastSpacing;

namespace
{
using DemoArea::originX;
using DemoArea::originY;
using DemoArea::railY;
// Clear of the low ground in the valley's south; the orthophoto shows its cleared corridor.
const osg::Vec2d* const route = DemoArea::powerLineRoute;
const double pylonSpacing = 85.0;          // the spacing the pylons keep where the ground allows
const double longestSpan = 500.0;
const double step = 4.0;                   // between the feet that spotting tries
const double minClearance = 7.0;           // conductors above the ground at least
const double armZ = 19.6;                  // middle of the cross-arm above the pylon's foot
const double armBottom = armZ - 0.14;      // where the insulators hang from
const double phases[3] = {-5.5, 0.0, 5.5}; // across the line, from its left
const double catenaryParameter = 450.0;    // horizontal tension over weight: 2 m sag in 85 m
const double longestSag = 12.0;            // of a long span, strung tighter
const double stayReach = 10.0;             // from a mast's foot to its stay's anchor
const double labelLift = 25.0;             // the pylon's label above its foot

bool fail(const std::string& text)
{
    std::fprintf(stderr, "make_demo_content: %s\n", text.c_str());
    return false;
}

class Terrain
{
public:
    bool load(const std::string& folder)
    {
        osgDB::Registry::instance()->setBuildKdTreesHint(osgDB::Options::BUILD_KDTREES);
        tiles = new osg::Group;
        for (const std::string& entry : osgDB::getDirectoryContents(folder))
            if (osgDB::getLowerCaseFileExtension(entry) == "ive")
                if (osg::ref_ptr<osg::Node> tile = osgDB::readRefNodeFile(folder + "/" + entry))
                    if (!dynamic_cast<osg::PagedLOD*>(tile.get())) // the paged database's root
                        tiles->addChild(tile.get());
        return tiles->getNumChildren() > 0 || fail("no terrain tiles in " + folder);
    }

    // The highest ground at local (x, y); false outside the tiles.
    bool height(double x, double y, double& z) const
    {
        osg::ref_ptr<osgUtil::LineSegmentIntersector> ray = new osgUtil::LineSegmentIntersector(
            osg::Vec3d(originX + x, originY + y, 10000.0), osg::Vec3d(originX + x, originY + y, -10000.0));
        osgUtil::IntersectionVisitor visitor(ray.get());
        tiles->accept(visitor);
        if (!ray->containsIntersections())
            return false;
        z = ray->getFirstIntersection().getWorldIntersectPoint().z();
        return true;
    }

    double heightOrZero(double x, double y) const
    {
        double z = 0.0;
        height(x, y, z);
        return z;
    }

    // Highest minus lowest ground within r of (x, y): large on banks, slopes and canopy.
    double roughness(double x, double y, double r) const
    {
        double low = 1e9, high = -1e9;
        for (int i = -2; i <= 2; ++i)
            for (int j = -2; j <= 2; ++j)
            {
                double z = 0.0;
                if (!height(x + i * r / 2.0, y + j * r / 2.0, z))
                    return 1e9;
                low = std::fmin(low, z);
                high = std::fmax(high, z);
            }
        return high - low;
    }

private:
    osg::ref_ptr<osg::Group> tiles;
};

struct Pylon
{
    osg::Vec2d at;            // local
    double foot = 0.0;        // height of the lower mast foot
    double rz = 0.0;          // gon, clockwise from north to the line's direction
    osg::Vec2d stayDirection; // pylon frame, (0, 0) for none
};

double bearingGon(const osg::Vec2d& d) { return std::atan2(d.x(), d.y()) * 200.0 / osg::PI; }

osg::Matrixd pylonMatrix(const Pylon& p)
{
    return PylonBuilder::placementMatrix(p.rz, 0.0, 0.0, osg::Vec3d(originX + p.at.x(), originY + p.at.y(), p.foot));
}

osg::Vec3d toWorld(const Pylon& p, const osg::Vec3d& local) { return local * pylonMatrix(p); }

double groundBelow(const Terrain& terrain, const osg::Vec3d& world)
{
    return terrain.heightOrZero(world.x() - originX, world.y() - originY);
}

// Both mast feet on or into the ground, never above it.
void setFoot(const Terrain& terrain, Pylon& p)
{
    p.foot = 0.0;
    double low = 1e9;
    for (double x : {-mastSpacing / 2.0, mastSpacing / 2.0})
        low = std::fmin(low, groundBelow(terrain, toWorld(p, osg::Vec3d(x, 0.0, 0.0))));
    p.foot = low;
}

// Where a phase's conductor hangs: at the bottom of its insulator string.
osg::Vec3d attachment(const Pylon& p, double across)
{
    return toWorld(p, osg::Vec3d(across, 0.0, armBottom - insulatorLength));
}

// z above the straight horizontal run from a (s = 0) to b (s = length) of a catenary. Long
// spans are strung tighter, as crossings between strain pylons are, so that none sags more
// than longestSag.
double catenary(double s, double length, double za, double zb)
{
    const double a = std::fmax(catenaryParameter, length * length / (8.0 * longestSag));
    const double s0 = length / 2.0 - a * std::asinh((zb - za) / (2.0 * a * std::sinh(length / (2.0 * a))));
    return za + a * (std::cosh((s - s0) / a) - std::cosh(s0 / a));
}

// The points of one phase's conductor between two pylons, every 4 m or less, ends included.
std::vector<osg::Vec3d> span(const Pylon& from, const Pylon& to, double across)
{
    const osg::Vec3d a = attachment(from, across), b = attachment(to, across);
    const double length = osg::Vec2d(b.x() - a.x(), b.y() - a.y()).length();
    const int steps = std::max(1, static_cast<int>(std::ceil(length / 4.0)));
    std::vector<osg::Vec3d> points;
    for (int k = 0; k <= steps; ++k)
    {
        const double t = double(k) / steps;
        osg::Vec3d p = a + (b - a) * t;
        p.z() = catenary(t * length, length, a.z(), b.z());
        points.push_back(p);
    }
    return points;
}

// The lowest height of any conductor of the span above the ground beneath it.
double clearance(const Terrain& terrain, const Pylon& from, const Pylon& to)
{
    double lowest = 1e9;
    for (double across : phases)
        for (const osg::Vec3d& p : span(from, to, across))
            lowest = std::fmin(lowest, p.z() - groundBelow(terrain, p));
    return lowest;
}

// Spots the pylons of one straight leg as a line designer would: feet only where the ground
// is dry and smooth (off banks and out of canopy), every span clear of the ground by
// minClearance, and the spans as near pylonSpacing as that allows, so long spans carry the line over
// low ground. Dynamic programming over candidate feet every step along the leg, with the
// ground under the three phases sampled once; `pylons` ends with the leg's first pylon.
void spotLeg(const Terrain& terrain, const osg::Vec2d& to, std::vector<Pylon>& pylons)
{
    const Pylon start = pylons.back();
    osg::Vec2d along = to - start.at;
    const double length = along.normalize();
    const osg::Vec2d left(-along.y(), along.x());
    const int n = static_cast<int>(std::ceil(length / step));
    auto distance = [&](int k) { return std::min(k * step, length); };

    // Ground under each phase, and the candidate feet.
    std::vector<std::vector<double>> ground(3, std::vector<double>(n + 1));
    std::vector<Pylon> feet(n + 1);
    std::vector<bool> usable(n + 1);
    for (int k = 0; k <= n; ++k)
    {
        const osg::Vec2d at = start.at + along * distance(k);
        for (int phase = 0; phase < 3; ++phase)
        {
            const osg::Vec2d under = at - left * phases[phase];
            ground[phase][k] = terrain.heightOrZero(under.x(), under.y());
        }
        feet[k].at = at;
        feet[k].rz = bearingGon(along);
        setFoot(terrain, feet[k]);
        usable[k] = k == 0 || k == n ||
                    (terrain.heightOrZero(at.x(), at.y()) > 3.0 && terrain.roughness(at.x(), at.y(), 7.0) < 2.0);
    }
    feet[0] = start;

    const double hang = armBottom - insulatorLength;
    auto spanCost = [&](int i, int j) {
        const double d = distance(j) - distance(i);
        double lowest = 1e9;
        for (int phase = 0; phase < 3; ++phase)
            for (int k = i; k <= j; ++k)
            {
                const double z = catenary(distance(k) - distance(i), d, feet[i].foot + hang, feet[j].foot + hang);
                lowest = std::fmin(lowest, z - ground[phase][k]);
            }
        const double shortfall = std::fmax(0.0, minClearance - lowest);
        const double off = (d - pylonSpacing) / pylonSpacing;
        return off * off + 100.0 * shortfall;
    };

    std::vector<double> cost(n + 1, 1e18);
    std::vector<int> previous(n + 1, -1);
    cost[0] = 0.0;
    const int shortest = static_cast<int>(pylonSpacing / 2.0 / step), longest = static_cast<int>(longestSpan / step);
    for (int j = 1; j <= n; ++j)
    {
        if (!usable[j])
            continue;
        for (int i = std::max(0, j - longest); i <= j - std::min(shortest, j); ++i)
            if (cost[i] < 1e18)
            {
                const double c = cost[i] + spanCost(i, j);
                if (c < cost[j])
                {
                    cost[j] = c;
                    previous[j] = i;
                }
            }
    }
    std::vector<Pylon> leg;
    for (int k = n; k > 0; k = previous[k])
        leg.push_back(feet[k]);
    pylons.insert(pylons.end(), leg.rbegin(), leg.rend());
}

std::vector<Pylon> placePylons(const Terrain& terrain)
{
    std::vector<Pylon> pylons(1);
    osg::Vec2d in = route[1] - route[0], out = route[2] - route[1];
    in.normalize();
    out.normalize();
    pylons[0].at = route[0];
    pylons[0].rz = bearingGon(in);
    setFoot(terrain, pylons[0]);
    spotLeg(terrain, route[1], pylons);
    const std::size_t angleIndex = pylons.size() - 1;
    // The angle pylon stands on the bisector of its bend.
    pylons[angleIndex].rz = bearingGon(in + out);
    setFoot(terrain, pylons[angleIndex]);
    spotLeg(terrain, route[2], pylons);

    // Ends are stayed backwards along the line, the angle outwards of its bend.
    pylons.front().stayDirection.set(0.0, -1.0);
    pylons.back().stayDirection.set(0.0, 1.0);
    const double turn = in.x() * out.y() - in.y() * out.x(); // > 0: the line bends left
    pylons[angleIndex].stayDirection.set(turn > 0.0 ? 1.0 : -1.0, 0.0);
    return pylons;
}

std::vector<PylonRecord> pylonRecords(const Terrain& terrain, const std::vector<Pylon>& pylons)
{
    // Each pylon's point lies labelLift above its foot, so that the label beside it stands
    // clear of the ground; the block frame has its origin at the foot of the left mast.
    const osg::Vec3d frame(-mastSpacing / 2.0, 0.0, 0.0);
    std::vector<PylonRecord> records;
    for (std::size_t i = 0; i < pylons.size(); ++i)
    {
        const Pylon& p = pylons[i];
        PylonRecord r;
        r.number = static_cast<int>(i + 1);
        r.label = std::to_string(r.number);
        auto add = [&](const std::string& block, const osg::Vec3d& local) {
            r.block = block;
            r.position = local - frame;
            records.push_back(r);
        };
        r.block = "Mast";
        r.position.set(originX + p.at.x(), originY + p.at.y(), p.foot + labelLift);
        r.rz = p.rz;
        r.offset = frame - osg::Vec3d(0.0, 0.0, labelLift);
        records.push_back(r);
        r.rz = 0.0;
        r.offset = osg::Vec3d();

        add("Mast", osg::Vec3d(mastSpacing / 2.0, 0.0, 0.0));
        add("CrossArm", osg::Vec3d(0.0, 0.0, armZ));
        for (double x : phases)
            add("Insulator", osg::Vec3d(x, 0.0, armBottom));

        // Stays from the mast tops to anchors in the ground: along the line at its ends, and
        // from the outer mast at the angle, whose pull they take.
        std::vector<std::pair<osg::Vec3d, osg::Vec3d>> stays;
        const osg::Vec2d& d = p.stayDirection;
        for (double x : {-mastSpacing / 2.0, mastSpacing / 2.0})
        {
            const osg::Vec3d top(x, 0.0, mastHeight - 0.5);
            if (d.y() != 0.0)
                stays.emplace_back(top, osg::Vec3d(x, d.y() * stayReach, 0.0));
            else if (d.x() * x > 0.0)
                for (double y : {-3.0, 3.0})
                    stays.emplace_back(top, osg::Vec3d(x + d.x() * stayReach, y, 0.0));
        }
        for (auto& stay : stays)
        {
            osg::Vec3d anchor = stay.second;
            anchor.z() = groundBelow(terrain, toWorld(p, anchor)) - p.foot;
            r.block = "Stay";
            r.position = stay.first - frame;
            r.target = anchor - frame;
            records.push_back(r);
        }
    }
    return records;
}

// One phase's conductor along the whole line.
std::vector<osg::Vec3d> wire(const std::vector<Pylon>& pylons, double across)
{
    std::vector<osg::Vec3d> points;
    for (std::size_t i = 0; i + 1 < pylons.size(); ++i)
    {
        const std::vector<osg::Vec3d> part = span(pylons[i], pylons[i + 1], across);
        points.insert(points.end(), part.begin() + (i == 0 ? 0 : 1), part.end());
    }
    return points;
}

std::vector<osgTAVRI::LabelRecord> railwayLabels(const Terrain& terrain)
{
    std::vector<osgTAVRI::LabelRecord> labels;
    auto add = [&](const std::string& text, int size, double x) {
        osgTAVRI::LabelRecord l;
        l.text = text;
        l.size = size;
        l.x = originX + x;
        l.y = static_cast<int>(originY + railY);
        l.z = static_cast<int>(std::lround(terrain.heightOrZero(x, railY)));
        labels.push_back(l);
    };
    for (int metres = 200; metres < 2000; metres += 200)
    {
        char text[32];
        std::snprintf(text, sizeof(text), "km %d+%03d", 41 + metres / 1000, metres % 1000);
        add(text, 2, metres);
    }
    // On the bank across the valley, between two posts; Windows-1252, as label files are written.
    add("Banvall \xf6ver Lill\xe5ns dal", 3, 1300.0);
    return labels;
}

template <class Writer, class Items>
bool writeText(const std::string& path, Writer writer, const Items& items)
{
    std::ostringstream text;
    writer(text, items);
    return osgTAVRI::AtomicFile::write(path, text.str()) || fail("cannot write " + path);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "Usage: %s <dist>\n", argv[0]);
        return 1;
    }
    const std::string content = std::string(argv[1]) + "/Content";
    const std::string powerline = content + "/Powerline", blocks = powerline + "/Building_blocks";
    const std::string infoPoints = content + "/InfoPoints";
    Terrain terrain;
    if (!terrain.load(content + "/Terrain"))
        return 1;
    for (const std::string& folder : {blocks, infoPoints})
        if (!osgDB::makeDirectory(folder))
            return fail("cannot create " + folder), 1;

    for (const char* name : demo::blockNames)
        if (!osgTAVRI::AtomicSceneFile::writeNode(*demo::makeBlock(name), blocks + "/" + name + ".ive"))
            return fail(std::string("cannot write the building block ") + name), 1;

    const std::vector<Pylon> pylons = placePylons(terrain);
    if (!writeText(powerline + "/Koordinatlista_Stolpar_TavriView.txt", osgTAVRI::PylonList::write,
                   pylonRecords(terrain, pylons)))
        return 1;
    double lowest = 1e9;
    for (std::size_t i = 0; i + 1 < pylons.size(); ++i)
        lowest = std::fmin(lowest, clearance(terrain, pylons[i], pylons[i + 1]));
    if (lowest < minClearance)
        std::fprintf(stderr, "make_demo_content: the conductors come within %.1f m of the ground\n", lowest);
    for (int phase = 0; phase < 3; ++phase)
        if (!writeText(powerline + "/Lft_L" + std::to_string(phase + 1) + ".txt", osgTAVRI::WireFile::write,
                       wire(pylons, phases[phase])))
            return 1;

    if (!writeText(infoPoints + "/Jarnvag.csv", osgTAVRI::LabelFile::write, railwayLabels(terrain)))
        return 1;
    // The viewer stores what it built from the label files; it must build again from these.
    std::remove((infoPoints + "/InfoPoints.ive").c_str());
    return 0;
}
