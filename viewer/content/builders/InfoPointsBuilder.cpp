#include "viewer/content/builders/InfoPointsBuilder.h"

#include "common/AtomicSceneFile.h"
#include "viewer/content/readers/FieldReader.h"
#include "viewer/content/builders/LabelBillboard.h"
#include "viewer/content/readers/ProblemLog.h"

#include <osg/NodeVisitor>
#include <osg/Notify>
#include <osgDB/FileNameUtils>
#include <osgDB/FileUtils>
#include <osgDB/ReadFile>
#include <osgDB/Registry>

#include <fstream>

namespace osgTAVRI
{

namespace
{
// The scene file keeps only the font's file name, which would be looked up among the system's
// fonts when read back; the labels get the installation's font again.
class FontVisitor : public osg::NodeVisitor
{
public:
    explicit FontVisitor(osgText::Font* labelFont) : osg::NodeVisitor(TRAVERSE_ALL_CHILDREN), font(labelFont) {}

    void apply(osg::Drawable& drawable) override
    {
        if (osgText::Text* text = dynamic_cast<osgText::Text*>(&drawable))
            text->setFont(font.get());
    }

private:
    osg::ref_ptr<osgText::Font> font;
};
} // namespace

InfoPointsBuilder::InfoPointsBuilder() {}

InfoPointsBuilder::InfoPointsBuilder(const Settings& s) : settings(s) {}

osg::ref_ptr<osg::LOD> InfoPointsBuilder::createLabels(const std::vector<LabelRecord>& labels, osgText::Font* font)
{
    osg::ref_ptr<osg::Billboard> billboard = LabelBillboard::create();
    for (const LabelRecord& label : labels)
        billboard->addDrawable(
            LabelBillboard::createText(label.text, font, 128, osg::Vec4(1.0f, 1.0f, 1.0f, 1.0f), label.characterSize())
                .get(),
            osg::Vec3(label.position()));
    osg::ref_ptr<osg::LOD> lod = new osg::LOD;
    lod->setRange(0, 0.0f, visibleRange);
    lod->addChild(billboard.get());
    return lod;
}

osg::ref_ptr<osg::Group> InfoPointsBuilder::build() const
{
    const osgDB::Options* options = osgDB::Registry::instance()->getOptions();
    const std::string storedPath = settings.folder + settings.storedFile;
    if (osgDB::fileExists(storedPath))
    {
        if (osg::ref_ptr<osg::Node> stored = osgDB::readRefNodeFile(storedPath, options))
        {
            if (osg::ref_ptr<osgText::Font> font = osgText::readRefFontFile(settings.fontFile))
            {
                FontVisitor fonts(font.get());
                stored->accept(fonts);
            }
            return stored->asGroup();
        }
    }

    const osgDB::DirectoryContents entries = osgDB::getDirectoryContents(settings.folder);
    if (entries.empty())
    {
        OSG_WARN << "No InfoPoints found" << std::endl;
        return nullptr;
    }

    osg::ref_ptr<osg::Group> root = new osg::Group;
    osg::ref_ptr<osgText::Font> font;
    for (const std::string& entry : entries)
    {
        if (osgDB::getFileExtension(entry) != "csv")
            continue;
        const std::string path = settings.folder + entry;
        std::ifstream in;
        if (!FieldReader::open(path, in))
        {
            OSG_WARN << "Could not open " << entry << std::endl;
            continue;
        }
        if (!font)
            font = osgText::readRefFontFile(settings.fontFile);
        if (!font)
        {
            OSG_WARN << "Could not read the label font " << settings.fontFile << ", no information points"
                     << std::endl;
            return nullptr;
        }
        ProblemLog problems(path);
        root->addChild(createLabels(LabelFile::read(in, problems), font.get()).get());
    }

    if (!AtomicSceneFile::writeNode(*root, storedPath))
        OSG_INFO << "Could not store the information points in " << storedPath << std::endl;
    return root;
}

osg::ref_ptr<osg::Group> createInfoPoints() { return InfoPointsBuilder().build(); }

} // namespace osgTAVRI
