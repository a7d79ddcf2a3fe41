#include "tests/viewer/content/ContentTree.h"

#include <osg/Geometry>
#include <osg/NodeVisitor>
#include <osgDB/WriteFile>

#include <filesystem>

namespace tavritest
{

namespace
{
class PlacedVisitor : public osg::NodeVisitor
{
public:
    PlacedVisitor() : osg::NodeVisitor(TRAVERSE_ALL_CHILDREN) {}

    void apply(osg::Node& node) override
    {
        if (!prefix.empty() && node.getName().compare(0, prefix.size(), prefix) == 0)
            named.push_back(&node);
        traverse(node);
    }

    void apply(osg::Billboard& billboard) override
    {
        const osg::Matrixd toRoot = osg::computeLocalToWorld(getNodePath());
        for (unsigned int i = 0; i < billboard.getNumDrawables(); ++i)
            if (const osgText::Text* text = dynamic_cast<const osgText::Text*>(billboard.getDrawable(i)))
                texts.push_back({text->getText().createUTF8EncodedString(),
                                 osg::Vec3d(billboard.getPosition(i)) * toRoot, text, &billboard});
        if (!prefix.empty() && billboard.getName().compare(0, prefix.size(), prefix) == 0)
            named.push_back(&billboard);
    }

    void apply(osg::Geometry& geometry) override
    {
        const osg::Vec3Array* v = dynamic_cast<const osg::Vec3Array*>(geometry.getVertexArray());
        if (!v)
            return;
        const osg::Matrixd toRoot = osg::computeLocalToWorld(getNodePath());
        std::vector<osg::Vec3d> world;
        for (const osg::Vec3& p : *v)
            world.push_back(osg::Vec3d(p) * toRoot);
        vertices.push_back(world);
    }

    std::string prefix;
    std::vector<osg::Node*> named;
    std::vector<PlacedText> texts;
    std::vector<std::vector<osg::Vec3d>> vertices;
};
} // namespace

ContentTree::ContentTree()
{
    for (const char* folder : {"Bin", "Resources/Fonts", "Content/Powerline/Building_blocks", "Content/InfoPoints"})
        std::filesystem::create_directories(path(folder));
    std::filesystem::copy_file(distDir() + "/Resources/Fonts/arial.ttf", path("Resources/Fonts/arial.ttf"));
}

void ContentTree::write(const std::string& relative, const std::string& text) const
{
    writeFile(path(relative), text);
}

void ContentTree::writeMarkerBlock(const std::string& name) const
{
    osg::ref_ptr<osg::Vec3Array> v = new osg::Vec3Array;
    for (const osg::Vec3& p : {osg::Vec3(0, 0, 0), osg::Vec3(0, 0, -1), osg::Vec3(1, 0, 0), osg::Vec3(0, 1, 0)})
        v->push_back(p);
    osg::ref_ptr<osg::Geometry> geometry = new osg::Geometry;
    geometry->setVertexArray(v.get());
    geometry->addPrimitiveSet(new osg::DrawArrays(GL_LINE_STRIP, 0, 4));
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->addDrawable(geometry.get());
    EXPECT_TRUE(osgDB::writeNodeFile(*geode, powerline() + "Building_blocks/" + name + ".ive"));
}

osgTAVRI::PowerlineBuilder::Settings ContentTree::powerlineSettings() const
{
    osgTAVRI::PowerlineBuilder::Settings settings;
    settings.folder = powerline();
    settings.fontFile = path("Resources/Fonts/arial.ttf");
    return settings;
}

osgTAVRI::InfoPointsBuilder::Settings ContentTree::infoPointsSettings() const
{
    osgTAVRI::InfoPointsBuilder::Settings settings;
    settings.folder = infoPoints();
    settings.storedPath = infoPoints() + "InfoPoints.ive";
    settings.fontFile = path("Resources/Fonts/arial.ttf");
    return settings;
}

std::vector<std::vector<osg::Vec3d>> geometryVertices(osg::Node* root)
{
    PlacedVisitor visitor;
    root->accept(visitor);
    return visitor.vertices;
}

std::vector<PlacedText> placedTexts(osg::Node* root)
{
    PlacedVisitor visitor;
    root->accept(visitor);
    return visitor.texts;
}

std::vector<osg::Node*> findNamed(osg::Node* root, const std::string& prefix)
{
    PlacedVisitor visitor;
    visitor.prefix = prefix;
    root->accept(visitor);
    return visitor.named;
}

} // namespace tavritest
