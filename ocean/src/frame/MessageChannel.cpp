#include "Sea/MessageChannel.h"

#include "Sea/Configuration.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace Sea
{
namespace
{
class StandardErrorHandler : public MessageHandler
{
public:
    void Write(const char* line, bool alert) override
    {
        std::fprintf(stderr, alert ? "%s (alert)\n" : "%s\n", line);
        std::fflush(stderr);
    }
};

std::mutex& channelMutex()
{
    static std::mutex m;
    return m;
}

MessageHandler* handler = nullptr;

MessageHandler* currentHandler()
{
    static StandardErrorHandler standardError;
    return handler ? handler : &standardError;
}
} // namespace

void MessageChannel::Log(const char* text)
{
    bool enabled = true;
    bool alerts = false;
    Configuration::GetBoolValue("enable-debug-messages", enabled);
    Configuration::GetBoolValue("enable-debug-alert-messages", alerts);
    if (!enabled || !text)
        return;

    std::lock_guard<std::mutex> lock(channelMutex());
    MessageHandler* out = currentHandler();
    char line[1024];
    const char* start = text;
    do
    {
        const char* end = std::strchr(start, '\n');
        size_t length = end ? size_t(end - start) : std::strlen(start);
        // A message that ends with a line break has no further line.
        if (length > 0 || (end && end[1] != '\0'))
        {
            std::snprintf(line, sizeof(line), "SEA: %.*s", int(length), start);
            out->Write(line, false);
            if (alerts)
                out->Write(line, true);
        }
        start = end ? end + 1 : nullptr;
    } while (start && *start);
}

void MessageChannel::LogFormatted(const char* format, ...)
{
    char text[4096];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    Log(text);
}

void MessageChannel::SetHandler(MessageHandler* newHandler)
{
    std::lock_guard<std::mutex> lock(channelMutex());
    handler = newHandler;
}

} // namespace Sea
