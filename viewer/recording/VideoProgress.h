#pragma once

#include <osg/Timer>

#include <cstdio>

namespace osgTAVRI
{

// How far a video has come. On a terminal a bar redrawn in place with the frame count and the
// time left; otherwise (a log, a pipe) one line per tenth of the frames.
class VideoProgress
{
public:
    VideoProgress(int totalFrames, std::FILE* stream);
    // `done` frames of the total are finished.
    void update(int done);
    // Ends the bar's line.
    void finish();

    // "m:ss" (or "h:mm:ss") of whole seconds.
    static void formatDuration(double seconds, char* text, std::size_t size);

private:
    int total;
    std::FILE* out;
    bool terminal;
    int lastTenth = 0;
    double lastDraw = -1.0;
    osg::Timer_t start;
};

} // namespace osgTAVRI
