#include "tests/plugins/ZipTestSupport.h"

#include "tests/support/TestSupport.h"

#include <osg/Geode>
#include <osg/NodeVisitor>
#include <osg/Texture>
#include <osgDB/FileNameUtils>
#include <osgDB/Registry>

#include <malloc.h>
#include <zip.h>

#include <atomic>
#include <cstdlib>
#include <new>

using namespace ziptest;

namespace
{
// While set, a single allocation larger than this fails, as on a machine short of memory.
std::atomic<std::size_t> allocationLimit{0};

class AllocationLimit
{
public:
    explicit AllocationLimit(std::size_t bytes) { allocationLimit = bytes; }
    ~AllocationLimit() { allocationLimit = 0; }
    AllocationLimit(const AllocationLimit&) = delete;
    AllocationLimit& operator=(const AllocationLimit&) = delete;
};
} // namespace

// The process's allocator, the plugin's included, with the limit above.
void* operator new(std::size_t size)
{
    const std::size_t limit = allocationLimit;
    if (limit > 0 && size > limit)
        throw std::bad_alloc();
    if (void* memory = std::malloc(size > 0 ? size : 1))
        return memory;
    throw std::bad_alloc();
}

// The pair of the operator new above; the compiler cannot tell that it allocates with malloc.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
#pragma GCC diagnostic pop

namespace
{

class ZipPlugin : public ::testing::Test
{
protected:
    void SetUp() override { usePluginsOfThisBuild(); }
    tavritest::TempDir temp;
};

// Every texture image that came with data (read from somewhere), by file name.
class LoadedImages : public osg::NodeVisitor
{
public:
    LoadedImages() : osg::NodeVisitor(TRAVERSE_ALL_CHILDREN) {}
    void apply(osg::Node& node) override
    {
        check(node.getStateSet());
        traverse(node);
    }
    void apply(osg::Geode& geode) override
    {
        check(geode.getStateSet());
        for (unsigned int i = 0; i < geode.getNumDrawables(); ++i)
            check(geode.getDrawable(i)->getStateSet());
        traverse(geode);
    }
    std::vector<std::string> names;

private:
    void check(osg::StateSet* ss)
    {
        if (!ss)
            return;
        for (unsigned int unit = 0; unit < ss->getTextureAttributeList().size(); ++unit)
        {
            auto* texture = dynamic_cast<osg::Texture*>(ss->getTextureAttribute(unit, osg::StateAttribute::TEXTURE));
            if (texture && texture->getImage(0) && texture->getImage(0)->data())
                names.push_back(texture->getImage(0)->getFileName());
        }
    }
};

std::string nameOf(const osg::ref_ptr<osg::Node>& node) { return node ? node->getName() : "(null)"; }

// A read that must fail: null, and exactly one warning line that names the archive.
void expectOneWarning(const std::string& path, const std::string& password, const std::string& why = "")
{
    tavritest::NotifyCapture capture(osg::NOTICE);
    osg::ref_ptr<osg::Node> node = readZip(path, password);
    EXPECT_FALSE(node.valid()) << path;
    const std::vector<std::string> lines = capture.texts(osg::WARN);
    ASSERT_EQ(lines.size(), 1u) << path << ": " << ::testing::PrintToString(lines);
    EXPECT_NE(lines[0].find(osgDB::getSimpleFileName(path)), std::string::npos) << lines[0];
    if (!why.empty())
    {
        EXPECT_NE(lines[0].find(why), std::string::npos) << lines[0];
    }
}

} // namespace

TEST_F(ZipPlugin, ChoosesTheOnlyModelElseTheOneNamedLikeTheArchiveElseTheFirst)
{
    const std::string png = "\x89PNG not really";
    makeZip(temp.file("only.zip"), {{"docs/readme.txt", "hello"}, {"pic.png", png}, {"sub/model.osg", namedModel("only")}});
    EXPECT_EQ(nameOf(readZip(temp.file("only.zip"), "")), "only");

    makeZip(temp.file("Site.zip"), {{"a.osg", namedModel("a")}, {"models/SITE.osg", namedModel("site")},
                                    {"z.osg", namedModel("z")}});
    EXPECT_EQ(nameOf(readZip(temp.file("Site.zip"), "")), "site");

    // Archive order, not alphabetical order.
    makeZip(temp.file("other.zip"), {{"b.osg", namedModel("b")}, {"a.osg", namedModel("a")}});
    EXPECT_EQ(nameOf(readZip(temp.file("other.zip"), "")), "b");
}

TEST_F(ZipPlugin, BothEncryptionsOpenWithTheRightPasswordAndFindTexturesInside)
{
    TAVRI_REQUIRE_SHARED_DATA();
    const std::string models = tavritest::sharedData() + "/models";
    const std::vector<Entry> entries = {{"cow.osg", tavritest::readFile(models + "/cow.osg")},
                                        {"Images/reflect.rgb", tavritest::readFile(models + "/Images/reflect.rgb")}};
    makeZip(temp.file("aes.zip"), entries, Encryption::Aes256, "mossrock");
    // Traditional PKWARE as Debian's zip writes it, so a second implementation agrees with ours.
    const std::string pkDir = temp.file("pk");
    tavritest::shell("mkdir -p " + pkDir + "/Images && cp " + models + "/cow.osg " + pkDir + " && cp " + models +
                     "/Images/reflect.rgb " + pkDir + "/Images");
    ASSERT_EQ(tavritest::shell("cd " + pkDir + " && zip -q -P mossrock ../pkware.zip cow.osg Images/reflect.rgb"), 0);

    for (const std::string name : {"aes.zip", "pkware.zip"})
    {
        const std::vector<std::string> before = tavritest::listDir(temp.path());
        tavritest::NotifyCapture capture(osg::NOTICE);
        osg::ref_ptr<osg::Node> node = readZip(temp.file(name), "mossrock");
        ASSERT_TRUE(node.valid()) << name;
        EXPECT_TRUE(capture.texts(osg::WARN).empty()) << ::testing::PrintToString(capture.texts(osg::WARN));
        LoadedImages images;
        node->accept(images);
        ASSERT_FALSE(images.names.empty()) << name << ": the texture was not read from the archive";
        EXPECT_EQ(images.names.front(), "Images/reflect.rgb");
        // Nothing is extracted beside the archive.
        EXPECT_EQ(tavritest::listDir(temp.path()), before);
    }
}

TEST_F(ZipPlugin, WrongOrMissingPasswordGivesOneWarningAndNoModel)
{
    const std::vector<Entry> entries = {{"m.osg", namedModel("m")}};
    makeZip(temp.file("aes.zip"), entries, Encryption::Aes256, "mossrock");
    makeZip(temp.file("pkware.zip"), entries, Encryption::Pkware, "mossrock");
    for (const std::string name : {"aes.zip", "pkware.zip"})
    {
        expectOneWarning(temp.file(name), "stoneroll", "Wrong password");
        expectOneWarning(temp.file(name), "", "No password");
        EXPECT_EQ(nameOf(readZip(temp.file(name), "mossrock")), "m");
    }
}

TEST_F(ZipPlugin, DamagedOrEmptyArchivesGiveOneWarningAndNoModel)
{
    makeZip(temp.file("good.zip"), {{"m.osg", namedModel("m")}, {"n.osg", namedModel("n")}});
    const std::string good = tavritest::readFile(temp.file("good.zip"));

    tavritest::writeFile(temp.file("truncated.zip"), good.substr(0, good.size() / 2));
    expectOneWarning(temp.file("truncated.zip"), "");
    tavritest::writeFile(temp.file("empty.zip"), "");
    expectOneWarning(temp.file("empty.zip"), "");
    tavritest::writeFile(temp.file("garbage.zip"), std::string(4096, 'x'));
    expectOneWarning(temp.file("garbage.zip"), "");

    makeZip(temp.file("nomodel.zip"), {{"readme.txt", "no model here"}, {"Images/a.png", "png"}});
    expectOneWarning(temp.file("nomodel.zip"), "", "no model");

    // A flipped byte inside the compressed data fails its checksum.
    std::string corrupt = good;
    corrupt[40] = static_cast<char>(corrupt[40] ^ 0x55);
    tavritest::writeFile(temp.file("corrupt.zip"), corrupt);
    expectOneWarning(temp.file("corrupt.zip"), "");
}

// An archive's own size claim must not decide how much memory is taken: a small entry that
// claims to inflate to just under the bound reads on a machine with little memory to spare.
TEST_F(ZipPlugin, MemoryGrowsWithWhatInflatesNotWithWhatTheHeaderClaims)
{
    makeZip(temp.file("claims.zip"), {{"claims.osg", namedModel("claims")}});
    std::string bytes = tavritest::readFile(temp.file("claims.zip"));
    patchUncompressedSizes(bytes, (1u << 30) - 1);
    tavritest::writeFile(temp.file("claims.zip"), bytes);
    tavritest::NotifyCapture capture(osg::NOTICE);
    osg::ref_ptr<osg::Node> node;
    {
        AllocationLimit limit(64u << 20);
        EXPECT_NO_THROW(node = readZip(temp.file("claims.zip"), ""));
    }
    EXPECT_EQ(nameOf(node), "claims");
    EXPECT_TRUE(capture.texts(osg::WARN).empty()) << capture.all();
}

// Out of memory while inflating is one more unreadable archive: one warning line and no model.
TEST_F(ZipPlugin, RunningOutOfMemoryGivesOneWarningAndNoModel)
{
    makeZerosZip(temp.file("large.zip"), "large.osg", std::uint64_t(100) << 20);
    AllocationLimit limit(32u << 20);
    EXPECT_NO_THROW(expectOneWarning(temp.file("large.zip"), "", "out of memory"));
}

TEST_F(ZipPlugin, EntriesInflatingPastTheBoundAreRefused)
{
    // A small entry whose headers claim almost 4 GiB: refused before anything is inflated.
    makeZip(temp.file("bomb.zip"), {{"bomb.osg", namedModel("bomb")}});
    std::string bytes = tavritest::readFile(temp.file("bomb.zip"));
    patchUncompressedSizes(bytes, 0xF0000000u);
    tavritest::writeFile(temp.file("bomb.zip"), bytes);
    expectOneWarning(temp.file("bomb.zip"), "", "1024 MiB");

    // A real bomb whose headers understate its size: the bound holds for what actually comes
    // out. One byte past 1 GiB of zeros packs into about a megabyte.
    makeZerosZip(temp.file("zeros.zip"), "zeros.osg", (std::uint64_t(1) << 30) + 1);
    bytes = tavritest::readFile(temp.file("zeros.zip"));
    EXPECT_LT(bytes.size(), 8u << 20);
    patchUncompressedSizes(bytes, 16);
    tavritest::writeFile(temp.file("zeros.zip"), bytes);
    expectOneWarning(temp.file("zeros.zip"), "", "1024 MiB");
}

// Found by fuzzing: a damaged header that marks an entry as strongly encrypted made libzip
// leak the entry's whole reading chain, about 500 bytes for every read of the archive.
TEST_F(ZipPlugin, AnEntryInAnEncryptionNobodyDecodesGivesOneWarningAndLeaksNothing)
{
    for (const Encryption encryption : {Encryption::Pkware, Encryption::None})
    {
        makeZip(temp.file("strong.zip"), {{"m.osg", namedModel("m")}}, encryption, "mossrock");
        std::string bytes = tavritest::readFile(temp.file("strong.zip"));
        setEntryFlags(bytes, 0x41); // encrypted, with strong encryption
        tavritest::writeFile(temp.file("strong.zip"), bytes);
        expectOneWarning(temp.file("strong.zip"), "mossrock", "Encryption method not supported");

        const auto heapInUse = [] { return mallinfo2().uordblks; };
        std::size_t before = 0;
        int models = 0;
        {
            tavritest::NotifyCapture quiet(osg::FATAL);
            for (int i = 0; i < 600; ++i)
            {
                if (i == 100) // the first reads fill the toolkit's caches
                    before = heapInUse();
                models += readZip(temp.file("strong.zip"), "mossrock").valid() ? 1 : 0;
            }
        }
        EXPECT_EQ(models, 0);
        EXPECT_LT(heapInUse(), before + (64u << 10)) << "the heap grew by " << heapInUse() - before << " bytes";
    }
}
