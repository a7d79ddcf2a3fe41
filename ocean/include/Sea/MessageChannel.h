#pragma once

namespace Sea
{

// Receives every line the library reports. The default handler writes to standard error.
class MessageHandler
{
public:
    virtual ~MessageHandler() = default;
    // One line, already prefixed with "SEA: ", without its line break.
    virtual void Write(const char* line, bool alert) = 0;
};

// The library's only way of saying something. Each message becomes one or more lines
// prefixed with "SEA: ". "enable-debug-messages" (default on) switches the output; with
// "enable-debug-alert-messages" on, every line is written once more as an alert, since there
// is no alert box on this platform. Nothing here ever stops the program.
class MessageChannel
{
public:
    static void Log(const char* text);
    static void LogFormatted(const char* format, ...) __attribute__((format(printf, 1, 2)));

    // Null restores the standard-error handler. The handler is not owned.
    static void SetHandler(MessageHandler* handler);
};

} // namespace Sea
