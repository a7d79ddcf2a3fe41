#pragma once

#include "Sea/MessageChannel.h"

namespace tavrifuzz
{

// The ocean library's messages are formatted as usual and then dropped.
inline void quietSea()
{
    class SilentHandler : public Sea::MessageHandler
    {
    public:
        void Write(const char*, bool) override {}
    };
    static SilentHandler silent;
    Sea::MessageChannel::SetHandler(&silent);
}

} // namespace tavrifuzz
