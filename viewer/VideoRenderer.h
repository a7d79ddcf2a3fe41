#pragma once

#include <string>

namespace osgTAVRI
{

// TAVRIview --video PATH.path OUT.mp4 [--size 1920x1080] [--fps 30] [--noOverlay]
//
// Flies the recorded path through the configured scene off screen, at a fixed time step: frame
// n shows the pose and the sea at n / fps seconds however long it takes to draw. The video goes
// to a hidden temporary file beside OUT.mp4 that replaces it only when complete; Ctrl-C or a
// failure leaves no OUT.mp4 behind.
class VideoRenderer
{
public:
    // What the process's exit code says.
    enum ExitCode
    {
        Done = 0,
        BadInput = 1,      // wrong arguments, or a missing or malformed path file
        NoRendering = 2,   // no off-screen drawing buffer could be made
        EncodingFailed = 3 // no H.264 encoder, or the video could not be written
    };

    struct Settings
    {
        std::string pathFile;
        std::string output;
        int width = 1920;
        int height = 1080;
        int fps = 30;
        bool overlay = true;
    };

    // True when the command line asks for a video.
    static bool requested(int argc, char** argv);
    // Reads the video's command line; false with one line in `error` when it is wrong.
    static bool parse(int argc, char** argv, Settings& settings, std::string& error);
    // The whole command: parse, render, encode; returns the exit code.
    static int main(int argc, char** argv);

    explicit VideoRenderer(const Settings& settings);
    int run();

    // Number of frames of a flight of `duration` seconds: both ends are shown.
    static int frameCount(double duration, int fps);

    // Where the time of the last run went, summed over its frames.
    int getRenderedFrames() const { return renderedFrames; }
    double getRenderMs() const { return renderMs; }
    double getEncodeMs() const { return encodeMs; }

private:
    Settings settings;
    int renderedFrames = 0;
    double renderMs = 0.0;
    double encodeMs = 0.0;
};

} // namespace osgTAVRI
