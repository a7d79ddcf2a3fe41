#include "Sea/Configuration.h"

#include "Sea/MessageChannel.h"
#include "Sea/ResourceLoader.h"
#include "Sea/StlAllocator.h"

#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <new>
#include <string>

namespace Sea
{
namespace
{
using String = std::basic_string<char, std::char_traits<char>, StlAllocator<char>>;

// Every reading of a value is made once, when it is stored.
struct Entry
{
    String text;
    int intValue = 0;
    float floatValue = 0.0f;
    double doubleValue = 0.0;
    bool boolValue = false;
};

using Table = std::map<String, Entry, std::less<>, StlAllocator<std::pair<const String, Entry>>>;

struct State
{
    Table table;
    unsigned int loadCount = 0;
    std::mutex mutex;
};

// Never destroyed: messages may still read it while the process ends.
State& state()
{
    alignas(State) static unsigned char storage[sizeof(State)];
    static State* s = new (storage) State;
    return *s;
}

const size_t maxLineLength = 1024;

void store(Table& table, const char* key, size_t keyLength, const char* value, size_t valueLength)
{
    Entry entry;
    entry.text.assign(value, valueLength);
    entry.intValue = std::atoi(entry.text.c_str());
    entry.doubleValue = std::atof(entry.text.c_str());
    entry.floatValue = float(entry.doubleValue);
    entry.boolValue = entry.text == "yes" || entry.text == "true";
    table[String(key, keyLength)] = entry;
}

// Keeps the printable characters except the tilde: spaces and tabs vanish everywhere,
// also inside values.
size_t squeeze(const char* line, size_t length, char* out)
{
    size_t n = 0;
    for (size_t i = 0; i < length; ++i)
    {
        unsigned char c = static_cast<unsigned char>(line[i]);
        if (c >= 33 && c <= 125)
            out[n++] = char(c);
    }
    return n;
}

void parseLine(Table& table, const char* line, size_t length)
{
    char text[maxLineLength];
    size_t n = squeeze(line, length, text);
    if (n == 0 || text[0] == '#')
        return;
    const char* equals = static_cast<const char*>(std::memchr(text, '=', n));
    if (!equals || equals == text)
        return;
    const char* value = equals + 1;
    const char* end = static_cast<const char*>(std::memchr(value, '=', size_t(text + n - value)));
    size_t valueLength = size_t((end ? end : text + n) - value);
    if (valueLength == 0)
        return;
    store(table, text, size_t(equals - text), value, valueLength);
}

const Entry* find(const char* key)
{
    if (!key)
    {
        MessageChannel::Log("Null configuration key received in Configuration::GetConfigEntry");
        return nullptr;
    }
    Table& table = state().table;
    if (table.empty())
        return nullptr;
    Table::const_iterator it = table.find(key);
    return it == table.end() ? nullptr : &it->second;
}
} // namespace

bool Configuration::LoadFile(ResourceLoader* loader)
{
    if (!loader)
        return false;
    State& s = state();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.loadCount > 0)
        {
            ++s.loadCount;
            return true;
        }
    }
    char* data = nullptr;
    unsigned int size = 0;
    if (!loader->Load("Sea.config", data, size, true))
    {
        MessageChannel::Log("Could not load Sea.config from the given resources directory.");
        return false;
    }
    Parse(data);
    loader->Release(data);
    std::lock_guard<std::mutex> lock(s.mutex);
    ++s.loadCount;
    return true;
}

void Configuration::Parse(const char* text)
{
    if (!text)
        return;
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    const char* p = text;
    while (*p)
    {
        const char* end = std::strchr(p, '\n');
        size_t length = end ? size_t(end - p) : std::strlen(p);
        // The part of an over-long line beyond the limit is dropped, not read as a line of its own.
        parseLine(s.table, p, length < maxLineLength ? length : maxLineLength);
        if (!end)
            break;
        p = end + 1;
    }
}

void Configuration::Set(const char* key, const char* value)
{
    if (!key || !value)
        return;
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    store(s.table, key, std::strlen(key), value, std::strlen(value));
}

void Configuration::Clear()
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.table.clear();
    s.loadCount = 0;
}

bool Configuration::GetStringValue(const char* key, const char*& value)
{
    const Entry* e = find(key);
    if (e)
        value = e->text.c_str();
    return e != nullptr;
}

bool Configuration::GetIntValue(const char* key, int& value)
{
    const Entry* e = find(key);
    if (e)
        value = e->intValue;
    return e != nullptr;
}

bool Configuration::GetFloatValue(const char* key, float& value)
{
    const Entry* e = find(key);
    if (e)
        value = e->floatValue;
    return e != nullptr;
}

bool Configuration::GetDoubleValue(const char* key, double& value)
{
    const Entry* e = find(key);
    if (e)
        value = e->doubleValue;
    return e != nullptr;
}

bool Configuration::GetBoolValue(const char* key, bool& value)
{
    const Entry* e = find(key);
    if (e)
        value = e->boolValue;
    return e != nullptr;
}

} // namespace Sea
