#include "viewer/content/readers/LabelFile.h"

#include "viewer/content/readers/FieldReader.h"

namespace osgTAVRI
{

namespace
{
bool outOfRange(int value)
{
    const double v = value;
    return v > FieldReader::maxMagnitude || v < -FieldReader::maxMagnitude;
}
} // namespace

std::vector<LabelRecord> LabelFile::read(std::istream& in, ProblemLog& problems)
{
    std::vector<LabelRecord> labels;
    using Fields = std::vector<std::string>;
    FieldReader::readAll(in, fieldCount, problems, "label", [&](const Fields& fields, std::size_t line) {
        LabelRecord label;
        label.text = fields[0];
        label.size = FieldReader::toInt(fields[1]);
        label.y = FieldReader::toInt(fields[3]);
        label.z = FieldReader::toInt(fields[4]);
        label.line = line;
        if (!FieldReader::toReal(fields[2], label.x) || outOfRange(label.y) || outOfRange(label.z) ||
            outOfRange(label.size))
            problems.add(line, "a number out of range, label skipped");
        else
            labels.push_back(label);
    });
    return labels;
}

void LabelFile::write(std::ostream& out, const std::vector<LabelRecord>& labels)
{
    for (const LabelRecord& l : labels)
        out << FieldReader::formatText(l.text) << ',' << l.size << ',' << FieldReader::formatReal(l.x) << ',' << l.y
            << ',' << l.z << '\n';
}

} // namespace osgTAVRI
