#include "tests/viewer/content/ContentTree.h"

#include "common/AtomicFile.h"

#include <osg/LOD>
#include <osgDB/Registry>

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

    ASSERT_EQ(root->getNumChildren(), 1u);
    const osg::LOD* lod = dynamic_cast<const osg::LOD*>(root->getChild(0));
    ASSERT_NE(lod, nullptr);
    EXPECT_EQ(lod->getMinRange(0), 0.0f);
    EXPECT_EQ(lod->getMaxRange(0), 7500.0f);

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

// Run from Bin with the registry options of the viewer, so the installation's own paths are
// used and the scene file is written as the viewer writes it.
TEST(InfoPointsBuilder, TheStoredFileIsWrittenAtTheFirstStartAndUsedAtTheNext)
{
    ContentTree tree;
    tree.write("Content/InfoPoints/Labels.csv", "Bro,2,1000.5,2000.7,10\n");
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof(previous)), nullptr);
    ASSERT_EQ(chdir(tree.bin().c_str()), 0);
    osgDB::Registry* registry = osgDB::Registry::instance();
    osg::ref_ptr<osgDB::Options> previousOptions = registry->getOptions();
    osg::ref_ptr<osgDB::Options> options = new osgDB::Options;
    options->setObjectCacheHint(osgDB::Options::CACHE_ALL);
    registry->setOptions(options.get());
    registry->clearObjectCache();

    osg::ref_ptr<osg::Group> first = osgTAVRI::createInfoPoints();
    const std::string stored = tree.infoPoints() + "InfoPoints.ive";
    const bool written = tavritest::fileExists(stored);
    const std::vector<std::string> files = tavritest::listDir(tree.infoPoints());

    // A changed label file has no effect while the stored file is there.
    tree.write("Content/InfoPoints/Labels.csv", "Changed,2,1000.5,2000.7,10\n");
    registry->clearObjectCache();
    osg::ref_ptr<osg::Group> second = osgTAVRI::createInfoPoints();
    std::remove(stored.c_str());
    osg::ref_ptr<osg::Group> third = osgTAVRI::createInfoPoints();
    ASSERT_EQ(chdir(previous), 0);
    registry->clearObjectCache();
    registry->setOptions(previousOptions.get());

    EXPECT_TRUE(written);
    EXPECT_EQ(files, std::vector<std::string>({"InfoPoints.ive", "Labels.csv"})) << "no temporary file is left";
    ASSERT_TRUE(first.valid() && second.valid() && third.valid());
    EXPECT_NE(first.get(), second.get());
    for (osg::Group* root : {first.get(), second.get()})
    {
        const std::vector<tavritest::PlacedText> labels = tavritest::placedTexts(root);
        ASSERT_EQ(labels.size(), 1u);
        EXPECT_EQ(labels[0].text, "Bro");
        EXPECT_EQ(labels[0].position, osg::Vec3d(1000.5, 2000, 18));
        // The scene file names only "arial.ttf"; the installation's font must come back.
        ASSERT_NE(labels[0].drawable->getFont(), nullptr);
        EXPECT_EQ(labels[0].drawable->getFont()->getFileName(), "../Resources/Fonts/arial.ttf");
    }
    EXPECT_EQ(tavritest::placedTexts(third.get()).at(0).text, "Changed");
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
