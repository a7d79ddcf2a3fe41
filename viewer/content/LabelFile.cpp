#include "viewer/content/LabelFile.h"

#include "viewer/content/FieldReader.h"

namespace osgTAVRI
{

namespace
{
bool outOfRange(int value)
{
    return static_cast<double>(value) > FieldReader::maxMagnitude || static_cast<double>(value) < -FieldReader::maxMagnitude;
}
} // namespace

std::vector<LabelRecord> LabelFile::read(std::istream& in, ProblemLog& problems)
{
    std::vector<LabelRecord> labels;
    FieldReader reader(in, fieldCount);
    std::vector<std::string> fields;
    for (FieldReader::Result result; (result = reader.next(fields)) != FieldReader::END;)
    {
        if (result == FieldReader::BROKEN)
        {
            problems.add(reader.line(), reader.problem() + ", label skipped");
            continue;
        }
        LabelRecord label;
        label.text = fields[0];
        label.size = FieldReader::toInt(fields[1]);
        label.y = FieldReader::toInt(fields[3]);
        label.z = FieldReader::toInt(fields[4]);
        label.line = reader.line();
        if (!FieldReader::toReal(fields[2], label.x) || outOfRange(label.y) || outOfRange(label.z) ||
            outOfRange(label.size))
        {
            problems.add(reader.line(), "a number out of range, label skipped");
            continue;
        }
        labels.push_back(label);
    }
    return labels;
}

void LabelFile::write(std::ostream& out, const std::vector<LabelRecord>& labels)
{
    for (const LabelRecord& l : labels)
        out << FieldReader::formatText(l.text) << ',' << l.size << ',' << FieldReader::formatReal(l.x) << ',' << l.y
            << ',' << l.z << '\n';
}

} // namespace osgTAVRI
