#pragma once

#include "Sea/MessageChannel.h"

#include <string>
#include <vector>

namespace osgTAVRI
{

// The ocean library's lines on the toolkit's notification stream, through one handler for
// the whole process: its own information at INFO, everything else once as a warning, so that
// a fault repeated in every frame does not flood the console.
class SeaMessages : public Sea::MessageHandler
{
public:
    // Installs the handler; later calls do nothing.
    static void install();

    // While one lives, the lines the library writes on this thread are kept in it instead.
    class Collector
    {
    public:
        Collector();
        ~Collector();
        Collector(const Collector&) = delete;
        Collector& operator=(const Collector&) = delete;

        // All lines as one, without their "SEA: " prefixes; a line that ends in a colon runs
        // on into the next ("Failed to load the following resource: <path>").
        std::string joined() const;
        // Hands the kept lines to the stream as the handler would have.
        void report() const;

        std::vector<std::string> lines;

    private:
        Collector* previous;
    };

    void Write(const char* line, bool alert) override;

private:
    static void report(const std::string& line);
};

} // namespace osgTAVRI
