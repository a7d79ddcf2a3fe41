#include "viewer/recording/VideoEncoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

namespace osgTAVRI
{

namespace
{
std::string describe(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}
} // namespace

VideoEncoder::VideoEncoder() = default;

VideoEncoder::~VideoEncoder()
{
    close();
}

const char* VideoEncoder::h264EncoderName()
{
    const AVCodec* encoder = avcodec_find_encoder(AV_CODEC_ID_H264);
    return encoder ? encoder->name : nullptr;
}

std::string VideoEncoder::videoEncoderNames()
{
    std::string names;
    void* state = nullptr;
    while (const AVCodec* c = av_codec_iterate(&state))
        if (av_codec_is_encoder(c) && c->type == AVMEDIA_TYPE_VIDEO)
            names += (names.empty() ? "" : ", ") + std::string(c->name);
    return names.empty() ? "none" : names;
}

bool VideoEncoder::open(const std::string& path, int frameWidth, int frameHeight, int fps, std::string& error)
{
    close();
    // The libraries' own chatter (statistics, notes on the muxer's second pass) is not ours to
    // print; their errors reach the caller as one line.
    av_log_set_level(AV_LOG_QUIET);
    width = frameWidth;
    height = frameHeight;
    const AVCodec* encoder = avcodec_find_encoder(AV_CODEC_ID_H264);
    if (!encoder)
    {
        error = "This libavcodec has no H.264 encoder (install libx264); its video encoders: " + videoEncoderNames();
        return false;
    }
    int result = avformat_alloc_output_context2(&format, nullptr, "mp4", path.c_str());
    if (result < 0 || !format)
    {
        error = "Cannot make an MP4 container: " + describe(result);
        return false;
    }
    stream = avformat_new_stream(format, nullptr);
    codec = avcodec_alloc_context3(encoder);
    frame = av_frame_alloc();
    packet = av_packet_alloc();
    if (!stream || !codec || !frame || !packet)
    {
        error = "Out of memory for the video encoder";
        return false;
    }
    codec->width = width;
    codec->height = height;
    codec->time_base = AVRational{1, fps};
    codec->framerate = AVRational{fps, 1};
    codec->pix_fmt = AV_PIX_FMT_YUV420P;
    codec->gop_size = 2 * fps;
    // What the conversion below does: studio range with the BT.601 matrix on sRGB colours.
    codec->color_range = AVCOL_RANGE_MPEG;
    codec->colorspace = AVCOL_SPC_SMPTE170M;
    codec->color_primaries = AVCOL_PRI_BT709;
    codec->color_trc = AVCOL_TRC_IEC61966_2_1;
    if (format->oformat->flags & AVFMT_GLOBALHEADER)
        codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    // x264's fast presets keep encoding a small part of a frame's cost at a quality that
    // hides the difference; other H.264 encoders ignore the options.
    AVDictionary* options = nullptr;
    av_dict_set(&options, "preset", "veryfast", 0);
    av_dict_set(&options, "crf", "20", 0);
    result = avcodec_open2(codec, encoder, &options);
    av_dict_free(&options);
    if (result < 0)
    {
        error = std::string("Cannot open the H.264 encoder ") + encoder->name + ": " + describe(result);
        return false;
    }
    stream->time_base = codec->time_base;
    stream->avg_frame_rate = codec->framerate;
    avcodec_parameters_from_context(stream->codecpar, codec);

    frame->format = codec->pix_fmt;
    frame->width = width;
    frame->height = height;
    if ((result = av_frame_get_buffer(frame, 0)) < 0)
    {
        error = "Out of memory for a video frame: " + describe(result);
        return false;
    }
    converter = sws_getContext(width, height, AV_PIX_FMT_RGBA, width, height, AV_PIX_FMT_YUV420P, SWS_BILINEAR,
                               nullptr, nullptr, nullptr);
    if (!converter)
    {
        error = "Cannot convert RGBA to YUV 4:2:0";
        return false;
    }

    if ((result = avio_open(&format->pb, path.c_str(), AVIO_FLAG_WRITE)) < 0)
    {
        error = "Cannot write " + path + ": " + describe(result);
        return false;
    }
    // The index goes to the front, so that players start before the whole file has arrived.
    AVDictionary* muxerOptions = nullptr;
    av_dict_set(&muxerOptions, "movflags", "+faststart", 0);
    result = avformat_write_header(format, &muxerOptions);
    av_dict_free(&muxerOptions);
    if (result < 0)
    {
        error = "Cannot write the MP4 header: " + describe(result);
        return false;
    }
    return true;
}

bool VideoEncoder::addFrame(const std::uint8_t* rgba, std::string& error)
{
    int result = av_frame_make_writable(frame);
    if (result < 0)
    {
        error = "Video frame not writable: " + describe(result);
        return false;
    }
    // Read from the top row down with a negative stride: the image arrives bottom-up.
    const int stride = 4 * width;
    const std::uint8_t* source[1] = {rgba + static_cast<std::ptrdiff_t>(height - 1) * stride};
    const int sourceStride[1] = {-stride};
    sws_scale(converter, source, sourceStride, 0, height, frame->data, frame->linesize);
    frame->pts = frameIndex++;
    if ((result = avcodec_send_frame(codec, frame)) < 0)
    {
        error = "Encoding failed: " + describe(result);
        return false;
    }
    return drain(error);
}

bool VideoEncoder::drain(std::string& error)
{
    for (;;)
    {
        int result = avcodec_receive_packet(codec, packet);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            return true;
        if (result < 0)
        {
            error = "Encoding failed: " + describe(result);
            return false;
        }
        av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
        packet->stream_index = stream->index;
        result = av_interleaved_write_frame(format, packet);
        if (result < 0)
        {
            error = "Cannot write the video: " + describe(result);
            return false;
        }
    }
}

bool VideoEncoder::finish(std::string& error)
{
    int result = avcodec_send_frame(codec, nullptr);
    if (result < 0 && result != AVERROR_EOF)
    {
        error = "Encoding failed: " + describe(result);
        return false;
    }
    if (!drain(error))
        return false;
    if ((result = av_write_trailer(format)) < 0)
    {
        error = "Cannot complete the MP4 file: " + describe(result);
        return false;
    }
    if ((result = avio_closep(&format->pb)) < 0)
    {
        error = "Cannot complete the MP4 file: " + describe(result);
        return false;
    }
    return true;
}

void VideoEncoder::close()
{
    if (format && format->pb)
        avio_closep(&format->pb);
    sws_freeContext(converter);
    converter = nullptr;
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&codec);
    avformat_free_context(format);
    format = nullptr;
    stream = nullptr;
    frameIndex = 0;
}

} // namespace osgTAVRI
