#include "viewer/content/readers/PylonList.h"

#include "viewer/content/readers/FieldReader.h"

namespace osgTAVRI
{

std::vector<PylonRecord> PylonList::read(std::istream& in, ProblemLog& problems)
{
    std::vector<PylonRecord> records;
    using Fields = std::vector<std::string>;
    FieldReader::readAll(in, fieldCount, problems, "record", [&](const Fields& fields, std::size_t line) {
        double v[12];
        bool usable = true;
        for (unsigned int i = 0; i < 12; ++i)
            usable = FieldReader::toReal(fields[i + 2], v[i]) && usable;
        if (!usable)
        {
            problems.add(line, "a number out of range, record skipped");
            return;
        }
        PylonRecord record;
        record.number = FieldReader::toInt(fields[0]);
        record.label = fields[0];
        record.block = fields[1];
        record.position.set(v[0], v[1], v[2]);
        record.rz = v[3];
        record.rx = v[4];
        record.ry = v[5];
        record.offset.set(v[6], v[7], v[8]);
        record.target.set(v[9], v[10], v[11]);
        record.line = line;
        records.push_back(record);
    });
    return records;
}

void PylonList::write(std::ostream& out, const std::vector<PylonRecord>& records)
{
    for (const PylonRecord& r : records)
    {
        out << FieldReader::formatText(r.label.empty() ? std::to_string(r.number) : r.label) << ','
            << FieldReader::formatText(r.block);
        for (double value : {r.position.x(), r.position.y(), r.position.z(), r.rz, r.rx, r.ry, r.offset.x(),
                             r.offset.y(), r.offset.z(), r.target.x(), r.target.y(), r.target.z()})
            out << ',' << FieldReader::formatReal(value);
        out << '\n';
    }
}

} // namespace osgTAVRI
