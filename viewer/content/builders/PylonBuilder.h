#pragma once

#include "viewer/content/readers/ProblemLog.h"
#include "viewer/content/readers/PylonList.h"

#include <osg/Group>
#include <osg/Matrixd>
#include <osgText/Font>

#include <map>
#include <string>
#include <vector>

namespace osgTAVRI
{

// Assembles pylons from building-block models as the pylon list places them. Consecutive
// records with the same number make one pylon:
//
//   LOD (0 to visibleRange)
//     "Pylon <number>" transform: turned by the first record's angles, moved to its position
//       block frame: the first record's offset
//         one transform a block: identity for the first record, else turned or stretched
//       label transform (30, 0, 0): billboard with the number, black on a white outline
//
// Angles are in gon, and a positive angle turns clockwise seen from the positive end of its
// axis: a pylon turned 100 gon about Z has its X axis, and so its label, pointing south
// when it would otherwise point east.
class PylonBuilder
{
public:
    static constexpr float visibleRange = 200000.0f;
    static constexpr float labelDistance = 30.0f;

    // `blockFolder` ends with a separator; `offset` is subtracted from world positions.
    PylonBuilder(const std::string& blockFolder, const osg::Vec3d& offset, osgText::Font* font);

    // Adds one LOD per pylon to `root`. Records that belong to no pylon (a first record
    // numbered 0, such as a header line) are skipped with a problem in `problems`.
    void build(const std::vector<PylonRecord>& records, osg::Group* root, ProblemLog& problems);

    // Identity, then turned about Y, X and Z by the negated angles, then moved to `position`.
    static osg::Matrixd placementMatrix(double rzGon, double rxGon, double ryGon, const osg::Vec3d& position);

    // A block modelled with unit length along -Z then runs exactly from `position` to
    // `target`. A target straight above or below takes north as the block's up.
    // `position` and `target` must differ.
    static osg::Matrixd stretchMatrix(const osg::Vec3d& position, const osg::Vec3d& target);

private:
    osg::ref_ptr<osg::MatrixTransform> createPylon(const PylonRecord& record) const;
    osg::Node* loadBlock(const std::string& name);

    std::string blockFolder;
    osg::Vec3d offset;
    osg::ref_ptr<osgText::Font> font;
    // Blocks already tried in this build: one read and one message a name, and the
    // same block shared by every pylon that uses it.
    std::map<std::string, osg::ref_ptr<osg::Node>> blocks;
    ProblemLog missingBlocks;
};

} // namespace osgTAVRI
