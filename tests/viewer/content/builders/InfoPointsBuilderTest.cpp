#include "tests/viewer/content/ContentTree.h"
#include "tests/viewer/overlay/OverlayFixture.h"

#include "common/AtomicFile.h"

#include <osg/LOD>
#include <osgDB/Registry>

#include <chrono>
#include <cstdio>
#include <filesystem>

#include <unistd.h>

using osgTAVRI::InfoPointsBuilder;
using tavritest::ContentTree;

TEST(InfoPointsBuilder, EveryCsvFileGivesOneBillboardOfTheLabelsOnItsLines)
{
    ContentTree tree;
    // The last line counts without its line break; a capital extension is not "csv".
    tree.write("Content/InfoPoints/Bridges.csv", "Bro,2,1000.5,2000.7,10\n\nTorn,1,5,6,7");
    tree.write("Content/InfoPoints/Other.CSV", "Ignored,1,0,0,0\n");
    tree.write("Content/InfoPoints/notes.txt", "Ignored,1,0,0,0\n");
    tavritest::NotifyCapture capture(osg::WARN);
    osg::ref_ptr<osg::Group> root = InfoPointsBuilder(tree.infoPointsSettings()).build();
    ASSERT_TRUE(root.valid());
    EXPECT_TRUE(capture.texts(osg::WARN).empty()) << capture.all();

    // One group a file, named after it, and one LOD a label, measured from the label itself.
    ASSERT_EQ(root->getNumChildren(), 1u);
    const osg::Group* file = root->getChild(0)->asGroup();
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->getName(), "Bridges.csv");
    ASSERT_EQ(file->getNumChildren(), 2u);
    for (unsigned int i = 0; i < 2; ++i)
    {
        const osg::LOD* lod = dynamic_cast<const osg::LOD*>(file->getChild(i));
        ASSERT_NE(lod, nullptr);
        EXPECT_EQ(lod->getMinRange(0), 0.0f);
        EXPECT_EQ(lod->getMaxRange(0), 7500.0f);
        EXPECT_EQ(lod->getCenter(), i == 0 ? osg::Vec3(1000.5f, 2000.0f, 18.0f) : osg::Vec3(5.0f, 6.0f, 11.0f));
    }

    const std::vector<tavritest::PlacedText> labels = tavritest::placedTexts(root.get());
    ASSERT_EQ(labels.size(), 2u);
    EXPECT_EQ(labels[0].text, "Bro");
    EXPECT_EQ(labels[0].drawable->getCharacterHeight(), 6.0f);
    EXPECT_EQ(labels[0].position, osg::Vec3d(1000.5, 2000, 18));
    EXPECT_EQ(labels[1].text, "Torn");
    EXPECT_EQ(labels[1].drawable->getCharacterHeight(), 3.0f);
    EXPECT_EQ(labels[1].position, osg::Vec3d(5, 6, 11));
    EXPECT_EQ(labels[0].drawable->getColor(), osg::Vec4(1, 1, 1, 1));
    EXPECT_EQ(labels[0].drawable->getAlignment(), osgText::Text::CENTER_CENTER);

    const osg::Billboard* billboard = labels[0].billboard;
    EXPECT_EQ(billboard->getMode(), osg::Billboard::POINT_ROT_EYE);
    EXPECT_EQ(billboard->getNormal(), osg::Vec3(0, 0, 1));
    EXPECT_EQ(billboard->getStateSet()->getMode(GL_LIGHTING),
              osg::StateAttribute::OFF | osg::StateAttribute::PROTECTED);
}

namespace
{
// Gives a file a time of last change relative to the stored labels, as an edit before or
// after they were stored would.
void touch(const std::string& path, const std::string& stored, std::chrono::seconds later)
{
    std::filesystem::last_write_time(path, std::filesystem::last_write_time(stored) + later);
}

std::vector<std::string> texts(osg::Node* root)
{
    std::vector<std::string> found;
    for (const tavritest::PlacedText& label : tavritest::placedTexts(root))
        found.push_back(label.text);
    return found;
}
} // namespace

// Run from Bin with the registry options of the viewer, so the installation's own paths are
// used and the scene file is written as the viewer writes it.
TEST(InfoPointsBuilder, TheStoredFileIsUsedUntilALabelFileIsNewerOrTheSetOfFilesChanges)
{
    ContentTree tree;
    const std::string labels = tree.infoPoints() + "Labels.csv";
    tree.write("Content/InfoPoints/Labels.csv", "Bro,2,1000.5,2000.7,10\n");
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof(previous)), nullptr);
    ASSERT_EQ(chdir(tree.bin().c_str()), 0);
    osgDB::Registry* registry = osgDB::Registry::instance();
    osg::ref_ptr<osgDB::Options> previousOptions = registry->getOptions();
    osg::ref_ptr<osgDB::Options> options = new osgDB::Options;
    options->setObjectCacheHint(osgDB::Options::CACHE_ALL);
    registry->setOptions(options.get());
    auto start = [registry] {
        registry->clearObjectCache();
        return osgTAVRI::createInfoPoints();
    };

    osg::ref_ptr<osg::Group> first = start();
    const std::string stored = tree.infoPoints() + "InfoPoints.ive";
    const bool written = tavritest::fileExists(stored);
    const std::vector<std::string> files = tavritest::listDir(tree.infoPoints());

    // A file no newer than the stored labels is not read again: they come from the stored file.
    tree.write("Content/InfoPoints/Labels.csv", "Unread,2,1000.5,2000.7,10\n");
    touch(labels, stored, std::chrono::seconds(-10));
    osg::ref_ptr<osg::Group> fromStore = start();
    // An edited file is newer: the labels are built again, and stored again.
    tree.write("Content/InfoPoints/Labels.csv", "Changed,2,1000.5,2000.7,10\n");
    touch(labels, stored, std::chrono::seconds(10));
    osg::ref_ptr<osg::Group> edited = start();
    osg::ref_ptr<osg::Group> again = start();
    // A file added, or removed, even one older than the stored labels, changes the set.
    tree.write("Content/InfoPoints/More.csv", "Torn,1,5,6,7\n");
    touch(tree.infoPoints() + "More.csv", stored, std::chrono::seconds(-10));
    osg::ref_ptr<osg::Group> added = start();
    std::remove(labels.c_str());
    osg::ref_ptr<osg::Group> removed = start();

    ASSERT_EQ(chdir(previous), 0);
    registry->clearObjectCache();
    registry->setOptions(previousOptions.get());

    EXPECT_TRUE(written);
    EXPECT_EQ(files, std::vector<std::string>({"InfoPoints.ive", "Labels.csv"})) << "no temporary file is left";
    for (osg::Group* root : {first.get(), fromStore.get(), edited.get(), again.get(), added.get(), removed.get()})
        ASSERT_TRUE(root != nullptr);
    EXPECT_EQ(texts(first.get()), std::vector<std::string>({"Bro"}));
    EXPECT_EQ(texts(fromStore.get()), std::vector<std::string>({"Bro"}));
    EXPECT_EQ(texts(edited.get()), std::vector<std::string>({"Changed"}));
    EXPECT_EQ(texts(again.get()), std::vector<std::string>({"Changed"}));
    EXPECT_EQ(texts(added.get()), std::vector<std::string>({"Changed", "Torn"}));
    EXPECT_EQ(texts(removed.get()), std::vector<std::string>({"Torn"}));
    const std::vector<tavritest::PlacedText> read = tavritest::placedTexts(fromStore.get());
    EXPECT_EQ(read.at(0).position, osg::Vec3d(1000.5, 2000, 18));
    // The scene file names only "arial.ttf"; the installation's font must come back.
    ASSERT_NE(read.at(0).drawable->getFont(), nullptr);
    EXPECT_EQ(read.at(0).drawable->getFont()->getFileName(), "../Resources/Fonts/arial.ttf");
}

// The toolkit's font reader would put a system font in place of the missing file.
TEST(InfoPointsBuilder, WithoutTheLabelFontThereAreNoLabelsAndNoPowerLine)
{
    ContentTree tree;
    tree.writeMarkerBlock("Unit");
    tree.write("Content/InfoPoints/Labels.csv", "Bro,2,1000.5,2000.7,10\n");
    tree.write("Content/Powerline/Koordinatlista_Stolpar_TavriView.txt", "1,Unit,100,200,10,0,0,0,0,0,0,0,0,0\n");
    ASSERT_TRUE(InfoPointsBuilder(tree.infoPointsSettings()).build().valid());
    ASSERT_TRUE(tavritest::fileExists(tree.infoPoints() + "InfoPoints.ive"));

    std::filesystem::remove(tree.path("Resources/Fonts/arial.ttf"));
    tavritest::NotifyCapture capture(osg::WARN);
    EXPECT_FALSE(InfoPointsBuilder(tree.infoPointsSettings()).build().valid()) << "not even the stored labels";
    EXPECT_FALSE(osgTAVRI::PowerlineBuilder(tree.powerlineSettings()).build().valid());
    const std::vector<std::string> warnings = capture.texts(osg::WARN);
    ASSERT_EQ(warnings.size(), 2u) << capture.all();
    EXPECT_NE(warnings[0].find("no information points"), std::string::npos) << warnings[0];
    EXPECT_NE(warnings[1].find("no power line"), std::string::npos) << warnings[1];
}

// A label 600 m away, straight ahead, in a file that also holds one 30 km away: the file's
// centre is 15 km off, but the near label is drawn.
TEST(InfoPointsBuilder, ANearLabelShowsWhateverFarLabelsItsFileHolds)
{
    tavritest::ViewerHarness h;
    h.copyIntoTree(tavritest::distDir() + "/Resources/Fonts", "Resources/Fonts"); // no overlay images

    std::filesystem::create_directories(h.contentDir() + "/InfoPoints");
    tavritest::writeFile(h.contentDir() + "/InfoPoints/Labels.csv", "NEAR,10,0,600,0\nFAR,10,0,30000,0\n");
    h.writeConfiguration(tavritest::windowConfiguration(
        320, 240,
        "<Scene loadInfoPoints=\"1\"/><Navigation homeEyeX=\"0\" homeEyeY=\"0\" homeEyeZ=\"40\" "
        "homeCenterX=\"0\" homeCenterY=\"1\" homeCenterZ=\"40\"/>"));
    h.setup();
    h.key(osgGA::GUIEventAdapter::KEY_F1); // the help page would cover the middle
    h.frame(2);
    osg::ref_ptr<osg::Image> shot = h.readPixels();
    ASSERT_TRUE(shot.valid());
    // The background is light blue (red 204); the label's white lies above the readout.
    int white = 0;
    for (int y = 100; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            white += shot->data(x, y)[0] > 230;
    EXPECT_GT(white, 50);
}

TEST(InfoPointsBuilder, AMissingFolderGivesNothingAndAFolderWithoutLabelsAnEmptyGroup)
{
    ContentTree tree;
    InfoPointsBuilder::Settings settings = tree.infoPointsSettings();
    settings.folder = tree.path("Content/Nowhere/");
    tavritest::NotifyCapture capture(osg::WARN);
    EXPECT_FALSE(InfoPointsBuilder(settings).build().valid());
    EXPECT_EQ(capture.texts(osg::WARN), std::vector<std::string>({"No InfoPoints found"}));

    osg::ref_ptr<osg::Group> empty = InfoPointsBuilder(tree.infoPointsSettings()).build();
    ASSERT_TRUE(empty.valid());
    EXPECT_EQ(empty->getNumChildren(), 0u);
    EXPECT_TRUE(tavritest::fileExists(tree.infoPoints() + "InfoPoints.ive"));
}
