#include "tin/las/LazReader.h"

#include "tin/las/LasBytes.h"
#include "tin/las/LasError.h"
#include "tin/las/LasHeader.h"
#include "tin/las/laz/IntegerDecoder.h"
#include "tin/las/laz/LazChunkDecoder.h"

#include <osg/Notify>

#include <algorithm>
#include <cstring>
#include <istream>

namespace osgTAVRI
{

namespace
{
const std::size_t vlrHeaderSize = 54;
// Records decoded at a time into a growing buffer: memory follows what a chunk really yields.
const std::size_t slice = 16384;
const std::size_t reserveBytes = std::size_t(4) << 20;

// A chunk whose stream does not end where the chunk does: damaged, or the header's count
// of points is not the count coded.
std::string wrongEnd(std::uint64_t consumed, std::uint64_t size)
{
    return "its coded stream takes " + std::to_string(consumed) + " of its " + std::to_string(size) + " bytes";
}
}

LazReader::LazReader(std::istream& stream, const std::string& fileName, const LasHeader& header)
    : in(stream), name(fileName), recordLength(header.getRecordLength()), pointCount(header.getPointCount()),
      dataStart(std::uint64_t(header.getDataOffset()) + 8), dataEnd(header.getDataEnd())
{
    using namespace LasBytes;
    std::uint64_t at = header.getHeaderSize();
    for (std::uint64_t i = 0; i < header.getVlrCount(); ++i)
    {
        std::vector<unsigned char> head;
        if (at + vlrHeaderSize > header.getDataOffset())
            break;
        readBytes(at, vlrHeaderSize, head);
        const unsigned length = u16(head.data() + 20);
        const bool compression = std::memcmp(head.data() + 2, "laszip encoded", 15) == 0 &&
                                 u16(head.data() + 18) == LazItems::recordId;
        at += vlrHeaderSize;
        if (compression && at + length <= header.getDataOffset())
        {
            std::vector<unsigned char> payload;
            readBytes(at, length, payload);
            items = LazItems::parse(payload.data(), payload.size(), header, name);
            decoder = LazChunkDecoder::create(items);
            return;
        }
        at += length;
    }
    throw LasError("LasReader: " + name + ": compressed, but the compression record is missing");
}

LazReader::~LazReader()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    changed.notify_all();
    for (std::thread& t : workers)
        t.join();
    for (std::unique_ptr<Job>& job : jobs)
        spare.push_back(std::move(job));
    keepJobs(spare);
}

namespace
{
// Chunk buffers kept from one file for the next: new memory costs a page fault per page at
// its first touch, on a small file a tenth of the time that decoding takes.
std::mutex keptMutex;
const std::size_t keptBytes = std::size_t(32) << 20;
}

std::vector<std::unique_ptr<LazReader::Job>>& LazReader::keptJobs()
{
    static std::vector<std::unique_ptr<Job>> kept;
    return kept;
}

void LazReader::keepJobs(std::vector<std::unique_ptr<Job>>& done)
{
    std::lock_guard<std::mutex> lock(keptMutex);
    std::vector<std::unique_ptr<Job>>& kept = keptJobs();
    std::size_t bytes = 0;
    for (const std::unique_ptr<Job>& job : kept)
        bytes += job->bytes.capacity() + job->records.capacity();
    for (std::unique_ptr<Job>& job : done)
    {
        const std::size_t size = job->bytes.capacity() + job->records.capacity();
        if (bytes + size <= keptBytes)
        {
            bytes += size;
            kept.push_back(std::move(job));
        }
    }
    done.clear();
}

std::unique_ptr<LazReader::Job> LazReader::newJob()
{
    if (!spare.empty())
    {
        std::unique_ptr<Job> job = std::move(spare.back());
        spare.pop_back();
        return job;
    }
    std::lock_guard<std::mutex> lock(keptMutex);
    std::vector<std::unique_ptr<Job>>& kept = keptJobs();
    if (kept.empty())
        return std::unique_ptr<Job>(new Job);
    std::unique_ptr<Job> job = std::move(kept.back());
    kept.pop_back();
    return job;
}

void LazReader::readBytes(std::uint64_t offset, std::size_t size, std::vector<unsigned char>& bytes)
{
    bytes.resize(size);
    in.clear();
    in.seekg(std::streamoff(offset));
    in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(size));
    if (!in || std::size_t(in.gcount()) != size)
        throw LasError("LasReader: " + name + ": file truncated at byte " + std::to_string(offset) + " (" +
                       std::to_string(size) + " bytes wanted)");
}

std::uint64_t LazReader::chunkCount(std::uint64_t index) const
{
    const std::uint64_t first = index * items.getChunkSize();
    return first < pointCount ? std::min<std::uint64_t>(items.getChunkSize(), pointCount - first) : 0;
}

[[noreturn]] void LazReader::damaged(std::size_t index, const std::string& problem) const
{
    std::string where = "chunk " + std::to_string(index + 1);
    if (!table.empty())
        where += " of " + std::to_string(table.size());
    throw LasError("LasReader: " + name + ": " + where + " is damaged: " + problem +
                   (tableProblem.empty() ? "" : " (" + tableProblem + ")"));
}

std::string LazReader::readTable()
{
    using namespace LasBytes;
    std::vector<unsigned char> bytes;
    if (dataStart > dataEnd)
        throw LasError("LasReader: " + name + ": the point data is cut off before its first chunk");
    readBytes(dataStart - 8, 8, bytes);
    std::int64_t offset = std::int64_t(u64(bytes.data()));
    // A writer that could not go back stores the offset at the end of the file.
    if (offset == -1 && dataEnd >= dataStart + 8)
    {
        readBytes(dataEnd - 8, 8, bytes);
        offset = std::int64_t(u64(bytes.data()));
    }
    if (offset < std::int64_t(dataStart) || std::uint64_t(offset) + 8 > dataEnd)
        return "the chunk table's offset " + std::to_string(offset) + " lies outside the point data";
    const std::uint64_t tableAt = std::uint64_t(offset);
    readBytes(tableAt, 8, bytes);
    const std::uint32_t version = u32(bytes.data());
    const std::uint64_t number = u32(bytes.data() + 4);
    if (version != 0)
        return "the chunk table has the unknown version " + std::to_string(version);
    // Every chunk holds a point and stores its first record whole.
    const std::uint64_t fits = std::min(pointCount, (tableAt - dataStart) / recordLength);
    if (number == 0 || number > fits)
        return "the chunk table lists " + std::to_string(number) + " chunks where " + std::to_string(fits) +
               " fit at most";
    const bool variable = items.hasVariableChunks();
    if (!variable && ((number - 1) * items.getChunkSize() >= pointCount || number * items.getChunkSize() < pointCount))
        return "the chunk table lists " + std::to_string(number) + " chunks for " + std::to_string(pointCount) +
               " points";

    // Sizes (and counts) as differences from the entry before, arithmetic-coded.
    const std::size_t coded = std::size_t(std::min<std::uint64_t>(dataEnd - tableAt - 8, number * 12 + 16));
    readBytes(tableAt + 8, coded, bytes);
    ArithmeticDecoder dec;
    dec.init(bytes.data(), bytes.data() + bytes.size());
    IntegerDecoder ic(32, 2);
    ic.init();
    std::vector<Chunk> chunks(number);
    std::uint32_t lastCount = 0, lastSize = 0;
    std::uint64_t start = dataStart, total = 0;
    for (std::uint64_t i = 0; i < number; ++i)
    {
        if (variable)
            lastCount = std::uint32_t(ic.decompress(dec, std::int32_t(lastCount), 0));
        lastSize = std::uint32_t(ic.decompress(dec, std::int32_t(lastSize), 1));
        chunks[i] = Chunk{start, lastSize, variable ? lastCount : chunkCount(i)};
        if (dec.isDamaged())
            return "the chunk table is cut short or damaged";
        if (lastSize < recordLength || lastSize > tableAt - start)
            return "the chunk table gives chunk " + std::to_string(i + 1) + " " + std::to_string(lastSize) +
                   " bytes, outside the point data";
        if (chunks[i].count == 0)
            return "the chunk table gives chunk " + std::to_string(i + 1) + " no points";
        start += lastSize;
        total += chunks[i].count;
    }
    if (total != pointCount)
        return "the chunk table's chunks hold " + std::to_string(total) + " points, the header says " +
               std::to_string(pointCount);
    table.swap(chunks);
    return "";
}

void LazReader::start()
{
    started = true;
    if (pointCount == 0)
        return;
    // Without its table the file is read in sequence; said once it is read, or as part of
    // the one line about damage found on the way.
    tableProblem = readTable();
    if (!tableProblem.empty() && items.hasVariableChunks() && !items.isLayered())
        throw LasError("LasReader: " + name + ": " + tableProblem +
                       ", and chunks of varying size cannot be found without it");
    if (items.hasWavePackets())
        OSG_NOTICE << "LasReader: " << name << ": the points' waveform data is not read" << std::endl;
    currentChunk = Chunk{dataStart, 0, 0};
    if (threads > 1 && table.size() > 1)
        for (unsigned i = 0; i < threads - 1; ++i)
            workers.emplace_back(&LazReader::work, this);
}

std::size_t LazReader::read(std::vector<unsigned char>& records, std::size_t limit)
{
    if (!started)
        start();
    if (pointsDone >= pointCount)
    {
        if (!tableProblem.empty())
            OSG_WARN << "LasReader: " << name << ": " << tableProblem << "; its chunks were read in sequence"
                     << std::endl;
        tableProblem.clear();
        return 0;
    }
    return workers.empty() ? readSequential(records, limit) : readParallel(records);
}

void LazReader::decodeJob(LazChunkDecoder& dec, Job& job) const
{
    const std::size_t count = std::size_t(job.chunk.count);
    dec.begin(job.bytes.data(), job.bytes.size(), count);
    // Room for a whole chunk of the usual size at once, so that it is not copied as it
    // grows; a chunk that claims more grows only as its stream really yields records.
    job.records.reserve(std::min<std::size_t>(count * recordLength, reserveBytes));
    std::size_t done = 0;
    while (done < count && dec.getProblem().empty())
    {
        // A buffer used before is large enough already: it is not cleared again.
        const std::size_t step = std::min(slice, count - done);
        if (job.records.size() < (done + step) * recordLength)
            job.records.resize((done + step) * recordLength);
        done += dec.decode(job.records.data() + done * recordLength, step);
    }
    job.records.resize(done * recordLength);
    job.problem = dec.getProblem();
    if (job.problem.empty() && dec.getConsumed() != job.bytes.size())
        job.problem = wrongEnd(dec.getConsumed(), job.bytes.size());
}

std::size_t LazReader::readSequential(std::vector<unsigned char>& records, std::size_t limit)
{
    using namespace LasBytes;
    if (currentLeft == 0)
    {
        const std::uint64_t at = nextChunk == 0 ? dataStart : currentChunk.offset + decoder->getConsumed();
        if (nextChunk < table.size())
            currentChunk = table[nextChunk];
        else
        {
            // No table: the chunk starts where the one before ended.
            if (at + recordLength > dataEnd)
                throw LasError("LasReader: " + name + ": the header claims " + std::to_string(pointCount) +
                               " points, but the chunks end after " + std::to_string(pointsDone));
            std::uint64_t count = chunkCount(nextChunk);
            std::uint64_t size = 0;
            if (items.isLayered())
            {
                // The head tells the chunk's point count and layer sizes.
                std::size_t layers = 0;
                for (const LazItems::Item& item : items.getItems())
                    layers += item.type == LazItems::Point14 ? 9 : item.type == LazItems::RgbNir14 ? 2
                              : item.type == LazItems::Rgb14 ? 1 : item.size;
                const std::size_t head = recordLength + 4 + 4 * layers;
                if (at + head > dataEnd)
                    damaged(nextChunk, "the file ends inside its head");
                readBytes(at, head, current);
                if (items.hasVariableChunks())
                    count = std::min<std::uint64_t>(u32(current.data() + recordLength), pointCount - pointsDone);
                size = head;
                for (std::size_t i = 0; i < layers; ++i)
                    size += u32(current.data() + recordLength + 4 + 4 * i);
                if (size > dataEnd - at)
                    damaged(nextChunk, "its layers run past the point data");
            }
            else
                // A chunk is smaller than its records uncompressed, bar a few bytes of coding.
                size = std::min<std::uint64_t>(dataEnd - at, count * recordLength + 64);
            currentChunk = Chunk{at, 0, count};
            readBytes(at, std::size_t(size), current);
        }
        if (nextChunk < table.size())
            readBytes(currentChunk.offset, std::size_t(currentChunk.size), current);
        decoder->begin(current.data(), current.size(), std::size_t(currentChunk.count));
        currentLeft = currentChunk.count;
        ++nextChunk;
    }
    const std::size_t wanted = std::size_t(std::min<std::uint64_t>(limit, currentLeft));
    records.resize(wanted * recordLength);
    const std::size_t got = decoder->decode(records.data(), wanted);
    if (!decoder->getProblem().empty())
        damaged(nextChunk - 1, decoder->getProblem());
    currentLeft -= got;
    pointsDone += got;
    // A chunk must end where the table says the next one starts.
    if (currentLeft == 0 && currentChunk.size && decoder->getConsumed() != currentChunk.size)
        damaged(nextChunk - 1, wrongEnd(decoder->getConsumed(), currentChunk.size));
    return got;
}

LazReader::Job* LazReader::waitingJob()
{
    for (std::unique_ptr<Job>& job : jobs)
        if (job->state == Job::Waiting)
            return job.get();
    return nullptr;
}

void LazReader::decodeHere(LazChunkDecoder& dec, Job& job, std::unique_lock<std::mutex>& lock)
{
    job.state = Job::Decoding;
    lock.unlock();
    decodeJob(dec, job);
    lock.lock();
    job.state = Job::Done;
    changed.notify_all();
}

std::size_t LazReader::readParallel(std::vector<unsigned char>& records)
{
    std::unique_lock<std::mutex> lock(mutex);
    // Keep the workers supplied: the file is read here only, in order, and the buffers of
    // chunks already handed out are used again.
    const std::size_t window = 2 * (workers.size() + 1);
    while (jobs.size() < window && nextChunk < table.size())
    {
        std::unique_ptr<Job> job = newJob();
        job->chunk = table[nextChunk];
        job->index = nextChunk++;
        job->state = Job::Waiting;
        job->problem.clear();
        lock.unlock();
        readBytes(job->chunk.offset, std::size_t(job->chunk.size), job->bytes);
        lock.lock();
        jobs.push_back(std::move(job));
        changed.notify_one();
    }
    // While the next chunk in order is not ready, this thread decodes like a worker, the
    // next chunk first: waiting for it while others wait for a thread would leave a core idle.
    Job& front = *jobs.front();
    while (front.state != Job::Done)
    {
        if (Job* job = waitingJob())
            decodeHere(*decoder, *job, lock);
        else
            changed.wait(lock, [&] { return front.state == Job::Done || waitingJob(); });
    }
    std::unique_ptr<Job> done = std::move(jobs.front());
    jobs.pop_front();
    lock.unlock();
    if (!done->problem.empty())
        damaged(done->index, done->problem);
    records.swap(done->records);
    const std::size_t count = std::size_t(done->chunk.count);
    pointsDone += count;
    lock.lock();
    spare.push_back(std::move(done));
    return count;
}

void LazReader::work()
{
    std::unique_ptr<LazChunkDecoder> own = LazChunkDecoder::create(items);
    std::unique_lock<std::mutex> lock(mutex);
    for (;;)
    {
        Job* job = nullptr;
        changed.wait(lock, [&] { return stopping || (job = waitingJob()) != nullptr; });
        if (stopping)
            return;
        decodeHere(*own, *job, lock);
    }
}

} // namespace osgTAVRI
