// Decodes a video through libavformat and libavcodec, as a player would, and tells what it
// holds: "codec=<name> width=<w> height=<h> frames=<n>". Frames asked for are written as
// pictures, e.g. VideoFrames demo.mp4 0 first.png 60 middle.png.
#include <osg/Image>
#include <osgDB/WriteFile>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

namespace
{
// The frame as an RGBA picture, bottom row first like the toolkit's images.
osg::ref_ptr<osg::Image> toImage(const AVFrame& frame)
{
    osg::ref_ptr<osg::Image> image = new osg::Image;
    image->allocateImage(frame.width, frame.height, 1, GL_RGBA, GL_UNSIGNED_BYTE);
    SwsContext* sws = sws_getContext(frame.width, frame.height, static_cast<AVPixelFormat>(frame.format), frame.width,
                                     frame.height, AV_PIX_FMT_RGBA, SWS_BILINEAR, nullptr, nullptr, nullptr);
    uint8_t* rows[1] = {image->data(0, frame.height - 1)};
    const int stride[1] = {-4 * frame.width};
    sws_scale(sws, frame.data, frame.linesize, 0, frame.height, rows, stride);
    sws_freeContext(sws);
    return image;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc % 2 != 0)
    {
        std::fprintf(stderr, "Usage: VideoFrames VIDEO [FRAME PICTURE]...\n");
        return 2;
    }
    std::map<int, std::string> wanted;
    for (int i = 2; i + 1 < argc; i += 2)
        wanted[std::atoi(argv[i])] = argv[i + 1];

    av_log_set_level(AV_LOG_ERROR);
    AVFormatContext* format = nullptr;
    const AVCodec* decoder = nullptr;
    if (avformat_open_input(&format, argv[1], nullptr, nullptr) < 0 || avformat_find_stream_info(format, nullptr) < 0)
    {
        std::fprintf(stderr, "VideoFrames: cannot open %s\n", argv[1]);
        return 1;
    }
    const int index = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    AVCodecContext* context = index >= 0 ? avcodec_alloc_context3(decoder) : nullptr;
    if (!context || avcodec_parameters_to_context(context, format->streams[index]->codecpar) < 0 ||
        avcodec_open2(context, decoder, nullptr) < 0)
    {
        std::fprintf(stderr, "VideoFrames: no video stream that this libavcodec decodes in %s\n", argv[1]);
        return 1;
    }
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    int frames = 0;
    int status = 0;
    const auto receive = [&] {
        while (avcodec_receive_frame(context, frame) >= 0)
        {
            const auto picture = wanted.find(frames++);
            if (picture != wanted.end() && !osgDB::writeImageFile(*toImage(*frame), picture->second))
            {
                std::fprintf(stderr, "VideoFrames: cannot write %s\n", picture->second.c_str());
                status = 1;
            }
        }
    };
    while (av_read_frame(format, packet) >= 0)
    {
        if (packet->stream_index == index && avcodec_send_packet(context, packet) >= 0)
            receive();
        av_packet_unref(packet);
    }
    avcodec_send_packet(context, nullptr);
    receive();
    std::printf("codec=%s width=%d height=%d frames=%d\n", avcodec_get_name(context->codec_id), context->width,
                context->height, frames);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&context);
    avformat_close_input(&format);
    return status;
}
