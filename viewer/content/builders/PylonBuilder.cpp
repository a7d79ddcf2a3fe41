#include "viewer/content/builders/PylonBuilder.h"

#include "viewer/content/builders/LabelBillboard.h"

#include <osg/LOD>
#include <osg/MatrixTransform>
#include <osgDB/FileUtils>
#include <osgDB/ReadFile>
#include <osgDB/Registry>

#include <cmath>

namespace osgTAVRI
{

namespace
{
double gonToRadians(double gon) { return gon / 400.0 * 2.0 * osg::PI; }

void addPylon(osg::Group* root, osg::MatrixTransform* pylon)
{
    osg::ref_ptr<osg::LOD> lod = new osg::LOD;
    lod->addChild(pylon, 0.0f, PylonBuilder::visibleRange);
    root->addChild(lod.get());
}
} // namespace

PylonBuilder::PylonBuilder(const std::string& folder, const osg::Vec3d& coordinateOffset, osgText::Font* labelFont)
    : blockFolder(folder), offset(coordinateOffset), font(labelFont), missingBlocks(folder)
{
}

osg::Matrixd PylonBuilder::placementMatrix(double rzGon, double rxGon, double ryGon, const osg::Vec3d& position)
{
    osg::Matrixd m;
    m.postMult(osg::Matrixd::rotate(-gonToRadians(rzGon), osg::Z_AXIS));
    m.preMult(osg::Matrixd::rotate(-gonToRadians(rxGon), osg::X_AXIS));
    m.preMult(osg::Matrixd::rotate(-gonToRadians(ryGon), osg::Y_AXIS));
    m.postMult(osg::Matrixd::translate(position));
    return m;
}

osg::Matrixd PylonBuilder::stretchMatrix(const osg::Vec3d& position, const osg::Vec3d& target)
{
    const osg::Vec3d along = target - position;
    const double length = along.length();
    osg::Vec3d up(0.0, 0.0, 1.0);
    // Looking straight up or down, "up" cannot be Z; north keeps the block's turn defined.
    if ((along ^ up).length() <= 1e-12 * length)
        up.set(0.0, 1.0, 0.0);
    osg::Matrixd m = osg::Matrixd::inverse(osg::Matrixd::lookAt(position, target, up));
    m.preMult(osg::Matrixd::scale(1.0, 1.0, length));
    return m;
}

osg::Node* PylonBuilder::loadBlock(const std::string& name)
{
    auto known = blocks.find(name);
    if (known != blocks.end())
        return known->second.get();
    const std::string path = blockFolder + name + ".ive";
    const osgDB::Options* options = osgDB::Registry::instance()->getOptions();
    osg::ref_ptr<osg::Node> block;
    if (osgDB::fileExists(path))
    {
        block = osgDB::readRefNodeFile(path, options);
        // A second try, for files on a share that answers late.
        if (!block)
            block = osgDB::readRefNodeFile(path, options);
    }
    if (!block)
        missingBlocks.add("building block \"" + name + ".ive\" could not be read");
    blocks[name] = block;
    return block.get();
}

osg::ref_ptr<osg::MatrixTransform> PylonBuilder::createPylon(const PylonRecord& record) const
{
    osg::ref_ptr<osg::MatrixTransform> pylon =
        new osg::MatrixTransform(placementMatrix(record.rz, record.rx, record.ry, record.position - offset));
    pylon->setName("Pylon " + record.label);
    // Its translation is a grid coordinate, far too large for single-precision vertices:
    // the optimiser must not flatten it into the blocks.
    pylon->setDataVariance(osg::Object::DYNAMIC);
    pylon->addChild(new osg::MatrixTransform(osg::Matrixd::translate(record.offset)));

    osg::ref_ptr<osgText::Text> text =
        LabelBillboard::createText(record.label, font.get(), 256, osg::Vec4(0.0f, 0.0f, 0.0f, 1.0f), 10.0f);
    text->setBackdropType(osgText::Text::OUTLINE);
    text->setBackdropColor(osg::Vec4(1.0f, 1.0f, 1.0f, 1.0f));
    text->setBackdropOffset(0.06f, 0.06f);
    osg::ref_ptr<osg::Billboard> billboard = LabelBillboard::create();
    billboard->addDrawable(text.get());
    osg::ref_ptr<osg::MatrixTransform> label =
        new osg::MatrixTransform(osg::Matrixd::translate(labelDistance, 0.0, 0.0));
    label->addChild(billboard.get());
    pylon->addChild(label.get());
    return pylon;
}

void PylonBuilder::build(const std::vector<PylonRecord>& records, osg::Group* root, ProblemLog& problems)
{
    int previous = 0;
    osg::ref_ptr<osg::MatrixTransform> pylon;
    osg::MatrixTransform* frame = nullptr;
    for (const PylonRecord& record : records)
    {
        const bool first = record.number != previous;
        if (first)
        {
            if (pylon)
                addPylon(root, pylon.get());
            pylon = createPylon(record);
            frame = static_cast<osg::MatrixTransform*>(pylon->getChild(0));
        }
        previous = record.number;
        if (!pylon)
        {
            problems.add(record.line, "pylon number 0 before the first pylon (a header line?), record skipped");
            continue;
        }

        osg::Matrixd placement;
        const bool stretched = !first && record.target.length() != 0.0;
        if (stretched && record.target == record.position)
        {
            problems.add(record.line, "a stretched block of length 0, block skipped");
            continue;
        }
        osg::Node* block = loadBlock(record.block);
        if (!block)
            continue;
        if (stretched)
            placement = stretchMatrix(record.position, record.target);
        else if (!first)
            placement = placementMatrix(record.rz, record.rx, record.ry, record.position);
        osg::ref_ptr<osg::MatrixTransform> transform = new osg::MatrixTransform(placement);
        transform->addChild(block);
        frame->addChild(transform.get());
    }
    if (pylon)
        addPylon(root, pylon.get());
    missingBlocks.report();
}

} // namespace osgTAVRI
