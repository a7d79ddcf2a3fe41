#include "viewer/content/readers/FieldReader.h"

#include <osgDB/FileUtils>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace osgTAVRI
{

FieldReader::FieldReader(std::istream& in, unsigned int fieldCount) : buffer(in.rdbuf()), count(fieldCount) {}

FieldReader::Result FieldReader::next(std::vector<std::string>& fields)
{
    fields.assign(count, std::string());
    why.clear();
    if (ended || !buffer || count == 0)
        return END;

    int c = buffer->sgetc();
    while (c == '\n' || c == '\r')
    {
        if (c == '\n')
            ++currentLine;
        c = buffer->snextc();
    }
    recordLine = currentLine;

    bool content = false, tooLong = false;
    for (unsigned int f = 0; f < count; ++f)
    {
        const int delimiter = f + 1 < count ? ',' : '\n';
        std::string& field = fields[f];
        for (;;)
        {
            c = buffer->sbumpc();
            if (c == std::char_traits<char>::eof())
            {
                ended = true;
                if (!content)
                    return END;
                if (f + 1 < count)
                {
                    why = "incomplete record at the end of the file";
                    return BROKEN;
                }
                break;
            }
            if (c == '\n')
                ++currentLine;
            if (c == delimiter)
                break;
            if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
                content = true;
            if (field.size() < maxFieldLength)
                field.push_back(static_cast<char>(c));
            else
                tooLong = true;
        }
        if (ended)
            break;
    }
    if (tooLong)
    {
        why = "a field longer than " + std::to_string(maxFieldLength) + " characters";
        return BROKEN;
    }
    return RECORD;
}

bool FieldReader::open(const std::string& path, std::ifstream& in)
{
    if (osgDB::fileType(path) == osgDB::REGULAR_FILE)
        in.open(path.c_str(), std::ios::binary);
    return in.is_open();
}

int FieldReader::toInt(const std::string& field)
{
    const long value = std::strtol(field.c_str(), nullptr, 10);
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

double FieldReader::toDouble(const std::string& field) { return std::strtod(field.c_str(), nullptr); }

bool FieldReader::toReal(const std::string& field, double& value)
{
    value = toDouble(field);
    return std::isfinite(value) && std::fabs(value) <= maxMagnitude;
}

std::string FieldReader::formatReal(double value)
{
    char text[40];
    std::snprintf(text, sizeof(text), "%.12g", value);
    return text;
}

std::string FieldReader::formatText(const std::string& text)
{
    std::string field = text;
    for (char& c : field)
        if (c == ',' || c == '\n' || c == '\r')
            c = ' ';
    return field;
}

} // namespace osgTAVRI
