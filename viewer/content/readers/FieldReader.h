#pragma once

#include "viewer/content/readers/ProblemLog.h"

#include <cstddef>
#include <fstream>
#include <istream>
#include <string>
#include <vector>

namespace osgTAVRI
{

// Reads the comma-separated records of the content text files. The reading is stream-based:
// every field but the last ends at the next comma wherever it stands, so a line with too few
// fields takes the missing ones from the next line, and the last field ends at the line break.
// A last line without a line break still counts; blank lines between records are passed over.
// Memory stays bounded whatever the input: a field longer than maxFieldLength is consumed to
// its end but not kept, and its record is reported as broken.
class FieldReader
{
public:
    static constexpr std::size_t maxFieldLength = 4096;
    // No content coordinate, size or angle comes near this; larger values (and inf, nan)
    // would only poison the bounds of the scene.
    static constexpr double maxMagnitude = 1.0e8;

    enum Result
    {
        RECORD, // a whole record is in the fields
        BROKEN, // a record that cannot be used; problem() says why
        END     // nothing more to read
    };

    FieldReader(std::istream& in, unsigned int fieldCount);

    Result next(std::vector<std::string>& fields);

    // The line, counted from 1, on which the last record began.
    std::size_t line() const { return recordLine; }
    const std::string& problem() const { return why; }

    // Calls use(fields, line) for every whole record; each broken one goes to `problems` as a
    // skipped `what` ("record", "point", ...).
    template <class Use>
    static void readAll(std::istream& in, unsigned int fieldCount, ProblemLog& problems, const char* what, Use use)
    {
        FieldReader reader(in, fieldCount);
        std::vector<std::string> fields;
        for (Result result; (result = reader.next(fields)) != END;)
        {
            if (result == BROKEN)
                problems.add(reader.line(), reader.problem() + ", " + what + " skipped");
            else
                use(fields, reader.line());
        }
    }

    // Opens a content file for reading: false for what is missing, unreadable or not a file.
    static bool open(const std::string& path, std::ifstream& in);

    // The C library's conversions: leading blanks skipped, trailing text ignored, no number
    // reads as 0. Integers beyond the range of int are clamped instead of overflowing.
    static int toInt(const std::string& field);
    static double toDouble(const std::string& field);
    // toDouble, false when the value is not finite or beyond maxMagnitude.
    static bool toReal(const std::string& field, double& value);

    // The writers' side of the same format: reals with enough digits for millimetres at
    // national grid coordinates; texts without the commas and line breaks that would end them.
    static std::string formatReal(double value);
    static std::string formatText(const std::string& text);

private:
    std::streambuf* buffer;
    unsigned int count;
    std::size_t currentLine = 1;
    std::size_t recordLine = 0;
    bool ended = false;
    std::string why;
};

} // namespace osgTAVRI
