#include "tests/viewer/SceneProbe.h"

#include "viewer/scene/SceneController.h"

#include <osgDB/ReadFile>
#include <osgDB/WriteFile>

#include <regex>

using tavritest::ViewerHarness;

namespace
{

// Shows only layer `index` and tells whether its model changes the picture: the frame with all
// layers hidden is compared with the frame with this one shown, from the same camera.
int pixelsDrawnByLayer(ViewerHarness& h, unsigned int index)
{
    osgTAVRI::SceneController* scene = h.sceneController();
    for (unsigned int i = 0; i < scene->getNumLayers(); ++i)
        scene->getLayer(i)->setAllChildrenOff();
    tavritest::lookAt(h, scene->getLayer(index)->getChild(0)->getBound());
    osg::ref_ptr<osg::Image> empty = h.readPixels();
    scene->toggleLayer(index);
    osg::ref_ptr<osg::Image> drawn = h.readPixels();
    return empty.valid() && drawn.valid() ? tavritest::differingPixels(*empty, *drawn) : -1;
}

// A loopback HTTP server over one folder, for the network reader.
class LoopbackServer
{
public:
    explicit LoopbackServer(const std::string& folder)
    {
        server.start({"/usr/bin/env", "python3", "-u", "-m", "http.server", "0", "--bind", "127.0.0.1", "--directory",
                      folder});
        const std::regex portLine("port ([0-9]+)");
        for (int i = 0; i < 600 && port.empty() && server.running(); ++i)
        {
            std::smatch m;
            const std::string out = server.output();
            if (std::regex_search(out, m, portLine))
                port = m[1];
            else
                usleep(50000);
        }
    }
    ~LoopbackServer() { server.kill(); }
    std::string url(const std::string& name) const { return "http://127.0.0.1:" + port + "/" + name; }
    bool ready() const { return !port.empty(); }

private:
    tavritest::Process server;
    std::string port;
};

} // namespace

TEST(ModelFormats, RealModelsOfEveryLocalFormatLoadAndDraw)
{
    TAVRI_REQUIRE_SHARED_DATA();
    ViewerHarness h;
    const std::string models = tavritest::sharedData() + "/models";
    h.copyIntoTree(models, "Content");
    // The binary format, made from a real model by the toolkit's own writer.
    osg::ref_ptr<osg::Node> cessna = osgDB::readRefNodeFile(models + "/cessna.osg");
    ASSERT_TRUE(cessna.valid());
    ASSERT_TRUE(osgDB::writeNodeFile(*cessna, h.contentDir() + "/cessna.ive"));

    const std::vector<std::string> files = {"cow.osg", "lz.osg", "cessna.ive", "fels.3ds",
                                            "cube_with_diffuse_texture.3DS", "PinkEggFromLW.dxf"};
    std::string configuration = tavritest::smallWindowConfiguration() + "<Scene>\n";
    for (std::size_t i = 0; i < files.size(); ++i)
        configuration += "  <Model name=\"" + files[i] + "\" filename=\"../Content/" + files[i] + "\" layerNum=\"" +
                         std::to_string(i) + "\" visible=\"0\"/>\n";
    h.writeConfiguration(configuration + "</Scene>\n");
    h.setup();
    h.frame();

    osgTAVRI::SceneController* scene = h.sceneController();
    ASSERT_EQ(scene->getNumModels(), files.size());
    for (std::size_t i = 0; i < files.size(); ++i)
    {
        EXPECT_EQ(scene->getModel(static_cast<unsigned int>(i)).filename, "../Content/" + files[i]);
        EXPECT_GT(pixelsDrawnByLayer(h, static_cast<unsigned int>(i)), 320 * 240 / 50) << files[i] << " is not drawn";
    }
}

TEST(ModelFormats, ModelsComeOverTheNetworkReaderFromALoopbackServer)
{
    TAVRI_REQUIRE_SHARED_DATA();
    ViewerHarness h;
    const std::string models = tavritest::sharedData() + "/models";
    h.copyIntoTree(models + "/glider.osg", "Served/glider.osg");
    h.copyIntoTree(models + "/cow.osg", "Pack/cow.osg");
    h.copyIntoTree(models + "/Images/reflect.rgb", "Pack/Images/reflect.rgb");
    ASSERT_EQ(tavritest::shell("cd " + h.rootDir() + "/Pack && zip -q -P mossrock ../Served/cow.zip cow.osg " +
                               "Images/reflect.rgb"),
              0);
    LoopbackServer server(h.rootDir() + "/Served");
    ASSERT_TRUE(server.ready()) << "python3's http.server did not start";

    h.writeConfiguration(tavritest::smallWindowConfiguration());
    h.setup();
    h.frame();
    osgTAVRI::SceneController* scene = h.sceneController();
    // "curl" is the pseudo-extension that hands the name to the network reader; a protected
    // archive is read from the stream with the registered password.
    scene->addModel("glider", server.url("glider.osg.curl"), 0, true);
    scene->addModel("cow", server.url("cow.zip.curl"), 1, true);
    ASSERT_EQ(scene->getNumModels(), 2u);
    EXPECT_EQ(scene->getModel(0).filename, server.url("glider.osg.curl"));
    EXPECT_GT(pixelsDrawnByLayer(h, 0), 320 * 240 / 100);
    EXPECT_GT(pixelsDrawnByLayer(h, 1), 320 * 240 / 50);
}
