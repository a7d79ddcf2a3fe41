#include "Sea/ResourceLoader.h"

#include "Sea/MessageChannel.h"

#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace Sea
{

ResourceLoader::ResourceLoader(const char* path, bool registerDirectory)
{
    if (!path)
    {
        MessageChannel::Log("Null path passed into ResourceLoader constructor");
        return;
    }
    SetDirectory(path, registerDirectory);
}

ResourceLoader::~ResourceLoader() { Allocator::GetAllocator()->Free(directory); }

char* ResourceLoader::NormalizePath(const char* path)
{
    size_t length = std::strlen(path);
    char* out = static_cast<char*>(Allocator::GetAllocator()->Allocate(length + 1));
    if (!out)
        return nullptr;
    size_t n = 0;
    for (size_t i = 0; i < length; ++i)
    {
        bool separator = path[i] == '/' || path[i] == '\\';
        if (separator && n > 0 && out[n - 1] == '/')
            continue;
        out[n++] = separator ? '/' : path[i];
    }
    out[n] = '\0';
    return out;
}

void ResourceLoader::SetDirectory(const char* path, bool registerDirectory)
{
    if (!path)
        return;
    registerLibraryDirectory = registerDirectory;
    size_t length = std::strlen(path);
    char* joined = static_cast<char*>(Allocator::GetAllocator()->Allocate(length + 2));
    if (!joined)
        return;
    std::memcpy(joined, path, length);
    joined[length] = '/';
    joined[length + 1] = '\0';
    char* normalized = NormalizePath(joined);
    Allocator::GetAllocator()->Free(joined);
    if (!normalized)
        return;
    Allocator::GetAllocator()->Free(directory);
    directory = normalized;
}

const char* ResourceLoader::GetDirectory() const { return directory; }

bool ResourceLoader::Load(const char* name, char*& data, unsigned int& size, bool text)
{
    data = nullptr;
    size = 0;
    const char* dir = directory ? directory : "";
    const char* file = name ? name : "";
    size_t length = std::strlen(dir) + 1 + std::strlen(file);
    char* joined = static_cast<char*>(Allocator::GetAllocator()->Allocate(length + 1));
    char* path = nullptr;
    if (joined)
    {
        std::snprintf(joined, length + 1, "%s/%s", dir, file);
        path = NormalizePath(joined);
        Allocator::GetAllocator()->Free(joined);
    }

    bool loaded = false;
    struct stat info;
    FILE* f = path && name ? std::fopen(path, text ? "rt" : "rb") : nullptr;
    if (f && fstat(fileno(f), &info) == 0 && S_ISREG(info.st_mode) && info.st_size < 0x7FFFFFFF)
    {
        size_t fileSize = size_t(info.st_size);
        char* buffer = static_cast<char*>(Allocator::GetAllocator()->Allocate(fileSize + (text ? 1 : 0)));
        if (buffer && std::fread(buffer, 1, fileSize, f) == fileSize)
        {
            if (text)
                buffer[fileSize] = '\0';
            data = buffer;
            size = static_cast<unsigned int>(fileSize + (text ? 1 : 0));
            loaded = true;
        }
        else
            Allocator::GetAllocator()->Free(buffer);
    }
    if (f)
        std::fclose(f);
    if (!loaded)
    {
        MessageChannel::Log("Failed to load the following resource:");
        MessageChannel::Log(path ? path : file);
    }
    Allocator::GetAllocator()->Free(path);
    return loaded;
}

void ResourceLoader::Release(char* data) { Allocator::GetAllocator()->Free(data); }

} // namespace Sea
