#pragma once

#include "tin/las/laz/LazItems.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace osgTAVRI
{

class LasHeader;
class LazChunkDecoder;

// Decodes the point records of a compressed LAS file (LAZ), chunk by chunk, in file order.
// The chunk table says where each chunk starts; with N threads, N - 1 workers and the
// calling thread decode the chunks ahead at the same time, the caller's thread whenever the
// next chunk in order is not ready; memory holds 2N + 2 chunks at most. Without a usable
// table the chunks are read one after the other. The file is read once, front to back.
// Damage throws LasError naming the file and the chunk.
class LazReader
{
public:
    // Reads and checks the compressor's record; throws LasError when the file holds items
    // that are not decoded.
    LazReader(std::istream& stream, const std::string& name, const LasHeader& header);
    ~LazReader();
    LazReader(const LazReader&) = delete;
    LazReader& operator=(const LazReader&) = delete;

    // Threads that decode chunks; 1 decodes in the caller's thread only.
    void setThreads(unsigned count) { threads = count < 1 ? 1 : count; }

    const LazItems& getItems() const { return items; }

    // Up to `limit` next records into `records` (resized to hold them); 0 at the end.
    std::size_t read(std::vector<unsigned char>& records, std::size_t limit);

private:
    struct Chunk
    {
        std::uint64_t offset;
        std::uint64_t size;   // 0: not known (no table)
        std::uint64_t count;
    };
    struct Job
    {
        Chunk chunk;
        std::size_t index = 0;
        std::vector<unsigned char> bytes;
        std::vector<unsigned char> records;
        std::string problem;
        enum State { Waiting, Decoding, Done } state = Waiting;
    };

    void start();
    std::string readTable();
    std::uint64_t chunkCount(std::uint64_t index) const;
    void readBytes(std::uint64_t offset, std::size_t size, std::vector<unsigned char>& bytes);
    [[noreturn]] void damaged(std::size_t index, const std::string& problem) const;
    void decodeJob(LazChunkDecoder& decoder, Job& job) const;
    std::size_t readSequential(std::vector<unsigned char>& records, std::size_t limit);
    std::size_t readParallel(std::vector<unsigned char>& records);
    // The first chunk in flight that no thread has taken; the lock must be held.
    Job* waitingJob();
    // Decodes `job` with the lock released, then wakes everyone who waits for a chunk.
    void decodeHere(LazChunkDecoder& dec, Job& job, std::unique_lock<std::mutex>& lock);
    void work();
    // A job for the next chunk, with the buffers of one handed out before, by this reader
    // or, within a bound of memory, by an earlier one.
    std::unique_ptr<Job> newJob();
    static std::vector<std::unique_ptr<Job>>& keptJobs();
    static void keepJobs(std::vector<std::unique_ptr<Job>>& done);

    std::istream& in;
    std::string name;
    LazItems items;
    unsigned recordLength;
    std::uint64_t pointCount;
    std::uint64_t dataStart;  // first chunk, after the table's offset
    std::uint64_t dataEnd;
    unsigned threads = 1;
    bool started = false;

    std::vector<Chunk> table;  // empty without a usable table
    std::string tableProblem;  // why not
    std::uint64_t pointsDone = 0;
    std::size_t nextChunk = 0;

    // In sequence: the current chunk, decoded a slice at a time.
    std::unique_ptr<LazChunkDecoder> decoder;
    std::vector<unsigned char> current;
    Chunk currentChunk{0, 0, 0};
    std::uint64_t currentLeft = 0;

    // In parallel: chunks in flight, in file order.
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::unique_ptr<Job>> jobs;
    std::vector<std::unique_ptr<Job>> spare;  // handed out, their buffers kept for the next chunks
    std::vector<std::thread> workers;
    bool stopping = false;
};

} // namespace osgTAVRI
