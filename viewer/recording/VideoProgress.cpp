#include "viewer/recording/VideoProgress.h"

#include <cmath>
#include <string>

#include <unistd.h>

namespace osgTAVRI
{

VideoProgress::VideoProgress(int totalFrames, std::FILE* stream)
    : total(totalFrames > 0 ? totalFrames : 1), out(stream), terminal(isatty(fileno(stream)) == 1),
      start(osg::Timer::instance()->tick())
{
}

void VideoProgress::formatDuration(double seconds, char* text, std::size_t size)
{
    const long whole = std::lround(seconds > 0.0 ? seconds : 0.0);
    if (whole >= 3600)
        std::snprintf(text, size, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
    else
        std::snprintf(text, size, "%ld:%02ld", whole / 60, whole % 60);
}

void VideoProgress::update(int done)
{
    const double elapsed = osg::Timer::instance()->delta_s(start, osg::Timer::instance()->tick());
    char left[32];
    formatDuration(done > 0 ? elapsed / done * (total - done) : 0.0, left, sizeof left);
    if (terminal)
    {
        // A few redraws a second are enough for the eye and cost nothing.
        if (done < total && elapsed - lastDraw < 0.2)
            return;
        lastDraw = elapsed;
        const int width = 30;
        const int filled = static_cast<int>(static_cast<long long>(width) * done / total);
        std::fprintf(out, "\r[%s%s] %d/%d frames, %s left ", std::string(filled, '#').c_str(),
                     std::string(width - filled, '.').c_str(), done, total, left);
        std::fflush(out);
        return;
    }
    const int tenth = static_cast<int>(10LL * done / total);
    if (tenth <= lastTenth)
        return;
    lastTenth = tenth;
    std::fprintf(out, "Video: %d %% (%d/%d frames), %s left\n", 10 * tenth, done, total, left);
    std::fflush(out);
}

void VideoProgress::finish()
{
    if (terminal)
    {
        std::fputc('\n', out);
        std::fflush(out);
    }
}

} // namespace osgTAVRI
