#include "tests/ocean/SeaTestSupport.h"

#include "tests/support/TestSupport.h"

#include "Sea/Configuration.h"
#include "Sea/ResourceLoader.h"
#include "frame/TGAReader.h"

#include <cstring>
#include <string>
#include <vector>

using Sea::Configuration;

namespace
{
class SeaConfigurationTest : public seatest::SeaTest
{
};

// Counts the files it is asked to load.
class CountingLoader : public Sea::ResourceLoader
{
public:
    using Sea::ResourceLoader::ResourceLoader;
    bool Load(const char* name, char*& data, unsigned int& size, bool text) override
    {
        ++loads;
        return Sea::ResourceLoader::Load(name, data, size, text);
    }
    int loads = 0;
};

std::string stringValue(const char* key)
{
    const char* value = "absent";
    Configuration::GetStringValue(key, value);
    return value;
}
} // namespace

TEST_F(SeaConfigurationTest, SpacesVanishAndAHashAfterTheValueStaysInIt)
{
    Configuration::Parse("fft-depth = 25   # deep water\n"
                         "  # a comment line\n"
                         "\n"
                         "shader-filename-prefix =\n"
                         "name = a b\tc\r\n"
                         "shininess=7=8\n"
                         "enabled = yes\n"
                         "fft-depth-x = 1\n"
                         "fft-depth = 30 # the later line wins\n");
    EXPECT_EQ(stringValue("fft-depth"), "30#thelaterlinewins");
    double depth = 0;
    ASSERT_TRUE(Configuration::GetDoubleValue("fft-depth", depth));
    EXPECT_EQ(depth, 30.0);
    int integer = 0;
    ASSERT_TRUE(Configuration::GetIntValue("fft-depth", integer));
    EXPECT_EQ(integer, 30);
    EXPECT_EQ(stringValue("name"), "abc");
    EXPECT_EQ(stringValue("shininess"), "7");
    EXPECT_EQ(stringValue("shader-filename-prefix"), "absent") << "a line without a value is skipped";

    bool flag = false;
    ASSERT_TRUE(Configuration::GetBoolValue("enabled", flag));
    EXPECT_TRUE(flag);
    // A comment behind a boolean spoils it: "yes#..." is not "yes".
    Configuration::Parse("enabled = yes # on\n");
    ASSERT_TRUE(Configuration::GetBoolValue("enabled", flag));
    EXPECT_FALSE(flag);

    float untouched = 4.5f;
    EXPECT_FALSE(Configuration::GetFloatValue("no-such-key", untouched));
    EXPECT_EQ(untouched, 4.5f);
    EXPECT_FALSE(Configuration::GetFloatValue(nullptr, untouched));
    EXPECT_TRUE(messages.contains("SEA: Null configuration key received in Configuration::GetConfigEntry"));

    // An over-long line is cut, and its rest is not read as a line of its own.
    std::string longLine = "long = " + std::string(1100, 'x') + "tail=1\n";
    Configuration::Parse(longLine.c_str());
    EXPECT_EQ(stringValue("long").size(), 1024u - std::strlen("long = "));
    EXPECT_EQ(stringValue("xxxxtail"), "absent");
}

TEST_F(SeaConfigurationTest, TheFileIsReadOnceAndOnlyASuccessfulReadCounts)
{
    CountingLoader wrong("/nonexistent/sea");
    EXPECT_FALSE(Configuration::LoadFile(&wrong));
    EXPECT_TRUE(messages.contains("SEA: Could not load Sea.config from the given resources directory."));
    EXPECT_TRUE(messages.contains("SEA: /nonexistent/sea/Sea.config"));

    CountingLoader right(seatest::resourceDirectory().c_str());
    EXPECT_TRUE(Configuration::LoadFile(&right));
    EXPECT_EQ(right.loads, 1);
    bool forced = false;
    EXPECT_TRUE(Configuration::GetBoolValue("fft-force-cpu", forced));
    EXPECT_TRUE(forced);

    EXPECT_TRUE(Configuration::LoadFile(&right));
    EXPECT_TRUE(Configuration::LoadFile(&wrong));
    EXPECT_EQ(right.loads + wrong.loads, 2) << "a second LoadFile must not read again";
    EXPECT_FALSE(Configuration::LoadFile(nullptr));
}

TEST_F(SeaConfigurationTest, TheShippedFileSetsEveryKeyItNamesToAValue)
{
    std::string text = tavritest::readFile(seatest::resourceDirectory() + "/Sea.config");
    Configuration::Parse(text.c_str());
    size_t keys = 0;
    size_t start = 0;
    while (start < text.size())
    {
        size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? text.size() : end + 1;
        if (line.empty() || line[0] == '#')
            continue;
        std::string key = line.substr(0, line.find(' '));
        const char* value = nullptr;
        EXPECT_TRUE(Configuration::GetStringValue(key.c_str(), value)) << key;
        EXPECT_EQ(std::strchr(value ? value : "", '#'), nullptr) << key << " carries a comment in its value";
        ++keys;
    }
    EXPECT_GE(keys, 55u);
}

TEST_F(SeaConfigurationTest, ResourcePathsUseSlashesAndTextGetsATerminatingZero)
{
    tavritest::TempDir dir;
    tavritest::writeFile(dir.file("a.txt"), "abc");
    std::string mixed = dir.path();
    for (char& c : mixed)
        if (c == '/')
            c = '\\';
    Sea::ResourceLoader loader((mixed + "\\\\//").c_str());
    EXPECT_EQ(std::string(loader.GetDirectory()), dir.path() + "/");

    char* data = nullptr;
    unsigned int size = 0;
    ASSERT_TRUE(loader.Load("a.txt", data, size, true));
    EXPECT_EQ(size, 4u);
    EXPECT_STREQ(data, "abc");
    loader.Release(data);
    ASSERT_TRUE(loader.Load("//a.txt", data, size, false));
    EXPECT_EQ(size, 3u);
    loader.Release(data);

    EXPECT_FALSE(loader.Load("missing.txt", data, size, true));
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(size, 0u);
    EXPECT_FALSE(loader.Load(".", data, size, false)) << "a directory is no resource";
    EXPECT_TRUE(messages.contains("SEA: Failed to load the following resource:"));
    EXPECT_TRUE(messages.contains("SEA: " + dir.path() + "/missing.txt"));

    Sea::ResourceLoader none(nullptr);
    EXPECT_TRUE(messages.contains("SEA: Null path passed into ResourceLoader constructor"));
}

TEST_F(SeaConfigurationTest, MessagesAreLinesWithThePrefixAndAlertsComeTwice)
{
    Sea::MessageChannel::Log("first\nsecond\n");
    ASSERT_EQ(messages.lines.size(), 2u);
    EXPECT_EQ(messages.lines[0], "SEA: first");
    EXPECT_EQ(messages.lines[1], "SEA: second");

    Configuration::Set("enable-debug-alert-messages", "yes");
    Sea::MessageChannel::Log("look");
    ASSERT_EQ(messages.lines.size(), 4u);
    EXPECT_EQ(messages.lines[3], "SEA: look");
    EXPECT_FALSE(messages.alerts[2]);
    EXPECT_TRUE(messages.alerts[3]);

    Configuration::Set("enable-debug-messages", "no");
    Sea::MessageChannel::Log("quiet");
    EXPECT_EQ(messages.lines.size(), 4u);
}

TEST_F(SeaConfigurationTest, TheTGAReaderReadsOurTexturesAndRejectsDamagedOnes)
{
    Sea::ResourceLoader loader(seatest::resourceDirectory().c_str());
    Sea::TGAReader foam;
    ASSERT_TRUE(foam.Load(&loader, "foam.tga"));
    EXPECT_EQ(foam.GetWidth(), 256);
    EXPECT_EQ(foam.GetBitsPerPixel(), 32);
    Sea::TGAReader wash;
    ASSERT_TRUE(wash.Load(&loader, "wash.tga"));
    EXPECT_EQ(wash.GetWidth(), 128);
    EXPECT_EQ(wash.GetHeight(), 256);
    // Signed-byte textures stay within 0..127, so no texel turns negative on upload.
    const unsigned char* p = wash.GetPixels();
    for (int i = 0; i < 128 * 256 * 3; ++i)
        ASSERT_LE(p[i], 127) << i;

    // A run-length encoded 2 x 2 image, first row at the top: one run of three red pixels,
    // then one raw blue one.
    const unsigned char rle[] = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 24, 0x20,
                                 0x82, 0, 0, 255, 0x00, 255, 0, 0};
    Sea::TGAReader image;
    ASSERT_TRUE(image.Decode(rle, sizeof(rle)));
    const unsigned char* px = image.GetPixels();
    // Bottom row first: red, blue; then red, red.
    EXPECT_EQ(px[0], 255);
    EXPECT_EQ(px[2], 0);
    EXPECT_EQ(px[3 * 1 + 0], 0);
    EXPECT_EQ(px[3 * 1 + 2], 255);
    EXPECT_EQ(px[3 * 2 + 0], 255);

    for (size_t cut = 0; cut < sizeof(rle); ++cut)
        EXPECT_FALSE(image.Decode(rle, cut)) << cut;
    unsigned char badType[sizeof(rle)];
    std::memcpy(badType, rle, sizeof(rle));
    badType[2] = 1; // colour-mapped
    EXPECT_FALSE(image.Decode(badType, sizeof(badType)));
    EXPECT_TRUE(messages.contains("SEA: Invalid TGA header"));
}

// Found by fuzzing: an 18-byte header claiming 16384 x 16384 pixels made the reader take and
// clear a gigabyte before it noticed that the pixels were missing.
TEST_F(SeaConfigurationTest, TheTGAReaderTakesNoMemoryForPixelsTheFileCannotHold)
{
    seatest::CountingAllocator allocator;
    for (const unsigned char type : {2, 10})
    {
        std::vector<unsigned char> huge = {0, 0, type, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0, 0x40, 32, 8};
        huge.resize(huge.size() + 4096, 0x7F);
        Sea::TGAReader image;
        EXPECT_FALSE(image.Decode(huge.data(), huge.size()));
        EXPECT_EQ(allocator.allocations(), 0u) << "image type " << int(type);
    }
    EXPECT_TRUE(messages.contains("SEA: The TGA image data is truncated."));

    // The tightest packing still reads: 256 x 256 of one colour in runs of 128 pixels.
    std::vector<unsigned char> packed = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 24, 0};
    for (int run = 0; run < 512; ++run)
        packed.insert(packed.end(), {0xFF, 10, 20, 30});
    Sea::TGAReader image;
    ASSERT_TRUE(image.Decode(packed.data(), packed.size()));
    EXPECT_EQ(image.GetPixels()[256 * 256 * 3 - 1], 10);
}
