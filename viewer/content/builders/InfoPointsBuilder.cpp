#include "viewer/content/builders/InfoPointsBuilder.h"

#include "common/AtomicSceneFile.h"
#include "viewer/StatePaths.h"
#include "viewer/content/builders/LabelBillboard.h"
#include "viewer/content/readers/FieldReader.h"
#include "viewer/content/readers/ProblemLog.h"
#include "viewer/FontFile.h"

#include <osg/NodeVisitor>
#include <osg/Notify>
#include <osgDB/FileNameUtils>
#include <osgDB/FileUtils>
#include <osgDB/ReadFile>
#include <osgDB/Registry>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace osgTAVRI
{

namespace fs = std::filesystem;

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

osg::ref_ptr<osg::Group> InfoPointsBuilder::createLabels(const std::vector<LabelRecord>& labels, osgText::Font* font)
{
    osg::ref_ptr<osg::Group> group = new osg::Group;
    for (const LabelRecord& label : labels)
    {
        const osg::Vec3 position(label.position());
        osg::ref_ptr<osg::Billboard> billboard = LabelBillboard::create();
        billboard->addDrawable(
            LabelBillboard::createText(label.text, font, 128, osg::Vec4(1.0f, 1.0f, 1.0f, 1.0f), label.characterSize())
                .get(),
            position);
        osg::ref_ptr<osg::LOD> lod = new osg::LOD;
        lod->setCenterMode(osg::LOD::USER_DEFINED_CENTER);
        lod->setCenter(position);
        lod->setRange(0, 0.0f, visibleRange);
        lod->addChild(billboard.get());
        group->addChild(lod.get());
    }
    return group;
}

osg::ref_ptr<osg::Group> InfoPointsBuilder::readStored(const std::vector<std::string>& labelFiles) const
{
    const std::string& storedPath = settings.storedPath;
    std::error_code error;
    const fs::file_time_type storedTime = fs::last_write_time(storedPath, error);
    if (error)
        return nullptr;
    for (const std::string& file : labelFiles)
        if (fs::last_write_time(settings.folder + file, error) > storedTime || error)
            return nullptr;
    osg::ref_ptr<osg::Node> stored =
        osgDB::readRefNodeFile(storedPath, osgDB::Registry::instance()->getOptions());
    osg::ref_ptr<osg::Group> root = stored ? stored->asGroup() : nullptr;
    if (!root)
        return nullptr;
    // Each file's labels are a group named after it: a file added or removed since shows here.
    std::vector<std::string> storedFiles;
    for (unsigned int i = 0; i < root->getNumChildren(); ++i)
        storedFiles.push_back(root->getChild(i)->getName());
    std::sort(storedFiles.begin(), storedFiles.end());
    return storedFiles == labelFiles ? root : nullptr;
}

osg::ref_ptr<osg::Group> InfoPointsBuilder::build() const
{
    const osgDB::DirectoryContents entries = osgDB::getDirectoryContents(settings.folder);
    if (entries.empty())
    {
        OSG_WARN << "No InfoPoints found" << std::endl;
        return nullptr;
    }
    std::vector<std::string> labelFiles;
    for (const std::string& entry : entries)
        if (osgDB::getFileExtension(entry) == "csv")
            labelFiles.push_back(entry);
    std::sort(labelFiles.begin(), labelFiles.end());

    osg::ref_ptr<osgText::Font> font;
    if (!labelFiles.empty())
    {
        font = FontFile::read(settings.fontFile);
        if (!font)
        {
            OSG_WARN << "Could not read the label font " << settings.fontFile << ", no information points"
                     << std::endl;
            return nullptr;
        }
    }

    if (osg::ref_ptr<osg::Group> stored = readStored(labelFiles))
    {
        FontVisitor fonts(font.get());
        stored->accept(fonts);
        return stored;
    }

    osg::ref_ptr<osg::Group> root = new osg::Group;
    for (const std::string& entry : labelFiles)
    {
        const std::string path = settings.folder + entry;
        std::ifstream in;
        if (!FieldReader::open(path, in))
        {
            OSG_WARN << "Could not open " << entry << std::endl;
            continue;
        }
        ProblemLog problems(path);
        osg::ref_ptr<osg::Group> labels = createLabels(LabelFile::read(in, problems), font.get());
        labels->setName(entry);
        root->addChild(labels.get());
    }

    const std::string& storedPath = settings.storedPath;
    if (!AtomicSceneFile::writeNode(*root, storedPath))
        OSG_INFO << "Could not store the information points in " << storedPath << std::endl;
    return root;
}

osg::ref_ptr<osg::Group> createInfoPoints()
{
    InfoPointsBuilder::Settings settings;
    settings.storedPath = StatePaths::infoPointsStore();
    return InfoPointsBuilder(settings).build();
}

} // namespace osgTAVRI
