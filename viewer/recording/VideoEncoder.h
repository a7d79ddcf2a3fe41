#pragma once

#include <cstdint>
#include <string>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct AVStream;
struct SwsContext;

namespace osgTAVRI
{

// H.264 in an MP4 file through FFmpeg's libraries: frames of RGBA pixels as the graphics card
// reads them back (bottom row first) go in, are converted to YUV 4:2:0 and encoded at a fixed
// frame rate. Every failure leaves one line in `error`; the caller removes the file then.
class VideoEncoder
{
public:
    VideoEncoder();
    ~VideoEncoder();
    VideoEncoder(const VideoEncoder&) = delete;
    VideoEncoder& operator=(const VideoEncoder&) = delete;

    // Opens `path` (any name: the container is MP4 whatever its extension) for a video of
    // width x height pixels, both even, at `fps` frames per second.
    bool open(const std::string& path, int width, int height, int fps, std::string& error);
    // Adds the next frame: width x height RGBA pixels, rows bottom-up, no padding.
    bool addFrame(const std::uint8_t* rgba, std::string& error);
    // Encodes what is still buffered and completes the file.
    bool finish(std::string& error);

    // The H.264 encoder this libavcodec offers, or null; for the line that says there is none,
    // the names of the video encoders it has instead.
    static const char* h264EncoderName();
    static std::string videoEncoderNames();

private:
    bool drain(std::string& error);
    void close();

    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVStream* stream = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    SwsContext* converter = nullptr;
    int width = 0;
    int height = 0;
    std::int64_t frameIndex = 0;
};

} // namespace osgTAVRI
