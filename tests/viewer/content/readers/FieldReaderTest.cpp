#include "viewer/content/readers/FieldReader.h"
#include "viewer/content/readers/LabelFile.h"
#include "viewer/content/readers/PylonList.h"
#include "viewer/content/readers/WireFile.h"

#include "tests/support/TestSupport.h"

#include <cmath>
#include <random>
#include <sstream>

using osgTAVRI::FieldReader;

TEST(FieldReader, FieldsEndAtTheNextCommaAndTheLastAtTheLineBreak)
{
    std::istringstream in("a,b\nc,d,e\r\n\n\nf, g ,h");
    FieldReader reader(in, 3);
    std::vector<std::string> fields;
    ASSERT_EQ(reader.next(fields), FieldReader::RECORD);
    EXPECT_EQ(fields, std::vector<std::string>({"a", "b\nc", "d,e\r"})) << "a short line borrows from the next";
    EXPECT_EQ(reader.line(), 1u);
    ASSERT_EQ(reader.next(fields), FieldReader::RECORD) << "the last line counts without its line break";
    EXPECT_EQ(fields, std::vector<std::string>({"f", " g ", "h"}));
    EXPECT_EQ(reader.line(), 5u);
    EXPECT_EQ(reader.next(fields), FieldReader::END);
    EXPECT_EQ(reader.next(fields), FieldReader::END);

    std::istringstream cut("a,b,c\nd,e");
    FieldReader cutReader(cut, 3);
    EXPECT_EQ(cutReader.next(fields), FieldReader::RECORD);
    EXPECT_EQ(cutReader.next(fields), FieldReader::BROKEN);
    EXPECT_EQ(cutReader.line(), 2u);
    EXPECT_EQ(cutReader.next(fields), FieldReader::END);

    // The C library's reading of numbers, without its overflow.
    EXPECT_EQ(FieldReader::toInt(" 12abc"), 12);
    EXPECT_EQ(FieldReader::toInt("Nr"), 0);
    EXPECT_EQ(FieldReader::toInt("99999999999999999999"), 2147483647);
    EXPECT_EQ(FieldReader::toInt("-99999999999999999999"), -2147483647 - 1);
    EXPECT_EQ(FieldReader::toDouble("2000.7\n"), 2000.7);
    double value = 0.0;
    EXPECT_FALSE(FieldReader::toReal("1e999", value));
    EXPECT_FALSE(FieldReader::toReal("nan", value));
    EXPECT_FALSE(FieldReader::toReal("-2e8", value));
    EXPECT_TRUE(FieldReader::toReal("6401000.25", value));
}

// The three readers on whatever bytes a damaged or hostile file may hold: they end, keep
// memory bounded, report rather than throw, and hand on only finite values in range.
TEST(FieldReader, TheContentReadersSurviveArbitraryBytes)
{
    std::mt19937 random(20240909);
    const std::string alphabet = std::string("0123456789,,,,\n\n\r -.eE+abcNnaiInf\xe4", 35) + std::string(1, '\0');
    std::vector<std::string> inputs = {
        "",
        std::string(3 << 20, 'x'),
        std::string(1 << 20, ','),
        std::string(1 << 20, '\n'),
        std::string(2000, '\0'),
        "1e999,1e308,-1e308,nan,inf,99999999999999999999,x,1,2,3,4,5,6,7\n",
        "Bro,99999999999999999999,1e300,-99999999999999999999,7\n",
    };
    for (int i = 0; i < 300; ++i)
    {
        std::string text(random() % 400, ' ');
        for (char& c : text)
            c = i % 2 ? static_cast<char>(random() % 256) : alphabet[random() % alphabet.size()];
        inputs.push_back(text);
    }

    auto finite = [](const osg::Vec3d& v) {
        return std::fabs(v.x()) <= FieldReader::maxMagnitude && std::fabs(v.y()) <= FieldReader::maxMagnitude &&
               std::fabs(v.z()) <= FieldReader::maxMagnitude;
    };
    tavritest::NotifyCapture quiet(osg::FATAL);
    for (const std::string& input : inputs)
    {
        osgTAVRI::ProblemLog problems("fuzz");
        std::istringstream pylonText(input), wireText(input), labelText(input);
        for (const osgTAVRI::PylonRecord& r : osgTAVRI::PylonList::read(pylonText, problems))
        {
            EXPECT_TRUE(finite(r.position) && finite(r.offset) && finite(r.target));
            EXPECT_TRUE(std::isfinite(r.rz + r.rx + r.ry));
            EXPECT_LE(r.label.size(), FieldReader::maxFieldLength);
        }
        for (const osg::Vec3d& p : osgTAVRI::WireFile::read(wireText, problems))
            EXPECT_TRUE(finite(p));
        for (const osgTAVRI::LabelRecord& l : osgTAVRI::LabelFile::read(labelText, problems))
        {
            EXPECT_TRUE(finite(l.position()));
            EXPECT_LE(l.text.size(), FieldReader::maxFieldLength);
        }
        EXPECT_EQ(problems.text().find('\n'), std::string::npos) << "one line at most";
    }
}
