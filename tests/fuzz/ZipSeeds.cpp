#include "tests/fuzz/ZipSeeds.h"

#include "tests/plugins/ZipMaker.h"

namespace tavrifuzz
{

void writeZipSeeds(Seeds& seeds)
{
    using namespace ziptest;
    // The stand-in model reader of the plugin's target asks for the images its lines name.
    const std::vector<Entry> model = {{"site/model.osg", "image Images/ground.rgb\nimage ../sky.png\n"},
                                      {"site/Images/ground.rgb", std::string(40, 'g')},
                                      {"sky.png", "\x89PNG"},
                                      {"docs/", ""}};
    makeZip(seeds.path("model.zip"), model);
    makeZip(seeds.path("model-pkware.zip"), model, Encryption::Pkware, zipPassword);
    makeZip(seeds.path("model-aes.zip"), model, Encryption::Aes256, zipPassword);
    makeZip(seeds.path("two-models.zip"), {{"a.ive", "image A.RGB"}, {"B.osg", "b"}, {"a.rgb", "a"}});
    for (const std::string& path : Seeds::sharedFiles("models", {".3ds", ".dxf", ".osg"}))
    {
        const std::string bytes = Seeds::readFile(path);
        if (bytes.size() > 4096)
            continue;
        const std::string name = path.substr(path.find_last_of('/') + 1);
        makeZip(seeds.path("shared-" + name + ".zip"), {{name, bytes}});
        makeZip(seeds.path("shared-" + name + "-aes.zip"), {{name, bytes}}, Encryption::Aes256, zipPassword);
    }
}

} // namespace tavrifuzz
