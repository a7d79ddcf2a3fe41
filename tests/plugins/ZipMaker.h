#pragma once

#include <string>
#include <vector>

// Zip archives made with libzip, for the plugin tests and the fuzzers' seeds alike.
namespace ziptest
{

struct Entry
{
    std::string name;
    std::string data;
};

enum class Encryption
{
    None,
    Pkware,
    Aes256
};

// Writes a zip archive with libzip; every entry is encrypted as asked. Throws on failure.
void makeZip(const std::string& path, const std::vector<Entry>& entries, Encryption encryption = Encryption::None,
             const std::string& password = "");

} // namespace ziptest
