#pragma once

namespace Sea
{

class ResourceLoader;

// The process-wide key = value table read from "Sea.config". It is filled once, before the
// first ocean, and then only read.
class Configuration
{
public:
    // Loads "Sea.config" through the loader on the first successful call; later calls return
    // true at once.
    static bool LoadFile(ResourceLoader* loader);

    // Parses the text of a configuration file into the table (later keys replace earlier).
    static void Parse(const char* text);
    // Stores one entry as the parser would.
    static void Set(const char* key, const char* value);
    // Empties the table and forgets that it was loaded.
    static void Clear();

    // Each returns true and writes the reading when the key exists; otherwise returns false
    // and leaves `value` as it was.
    static bool GetStringValue(const char* key, const char*& value);
    static bool GetIntValue(const char* key, int& value);
    static bool GetFloatValue(const char* key, float& value);
    static bool GetDoubleValue(const char* key, double& value);
    static bool GetBoolValue(const char* key, bool& value);
};

} // namespace Sea
