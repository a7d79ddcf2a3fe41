#include "viewer/content/readers/PylonList.h"

#include "viewer/content/readers/FieldReader.h"

namespace osgTAVRI
{

namespace
{
bool parse(const std::vector<std::string>& fields, PylonRecord& record)
{
    double v[12];
    bool usable = true;
    for (unsigned int i = 0; i < 12; ++i)
        usable = FieldReader::toReal(fields[i + 2], v[i]) && usable;
    if (!usable)
        return false;
    record.number = FieldReader::toInt(fields[0]);
    record.label = fields[0];
    record.block = fields[1];
    record.position.set(v[0], v[1], v[2]);
    record.rz = v[3];
    record.rx = v[4];
    record.ry = v[5];
    record.offset.set(v[6], v[7], v[8]);
    record.target.set(v[9], v[10], v[11]);
    return true;
}
} // namespace

std::vector<PylonRecord> PylonList::read(std::istream& in, ProblemLog& problems, ProblemLog* skippedPylons)
{
    std::vector<PylonRecord> records;
    FieldReader reader(in, fieldCount);
    std::vector<std::string> fields;
    int previous = 0;
    // Set while passing over the further records of a pylon whose first record was broken:
    // the next one would otherwise place the pylon with its local coordinates.
    bool skippingPylon = false;
    for (FieldReader::Result result; (result = reader.next(fields)) != FieldReader::END;)
    {
        const int number = FieldReader::toInt(fields[0]);
        const bool first = number != previous;
        previous = number;
        if (first)
            skippingPylon = false;
        else if (skippingPylon)
            continue;
        PylonRecord record;
        std::string why = reader.problem();
        if (result == FieldReader::RECORD && !parse(fields, record))
            why = "a number out of range";
        if (why.empty())
        {
            record.line = reader.line();
            records.push_back(record);
        }
        else if (first)
        {
            skippingPylon = true;
            (skippedPylons ? *skippedPylons : problems)
                .add(reader.line(), "pylon " + fields[0] + " skipped, its first record cannot be used (" + why + ")");
        }
        else
            problems.add(reader.line(), why + ", record skipped");
    }
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
