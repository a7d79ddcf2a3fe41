#pragma once

#include "Sea/MemObject.h"

#include <cstddef>

namespace Sea
{

// Finds the library's data files (configuration, shaders, images) below one directory.
class ResourceLoader : public MemObject
{
public:
    // The register flag asks for the library's "dll" sub-directory to be searched for back
    // ends; this platform has none, so the flag is only kept.
    ResourceLoader(const char* path, bool registerLibraryDirectory = false);
    ~ResourceLoader() override;

    virtual void SetDirectory(const char* path, bool registerLibraryDirectory);
    // The directory with a trailing "/", or null when none was set.
    virtual const char* GetDirectory() const;
    // Reads the whole file into a buffer from the library's allocator. In text mode a zero
    // byte is appended and counted in the size. Release the data with Release.
    virtual bool Load(const char* name, char*& data, unsigned int& size, bool text);
    virtual void Release(char* data);

    // Separators become "/" and every run of them collapses to one; the result comes from
    // the library's allocator (free it through Allocator::Free).
    static char* NormalizePath(const char* path);

private:
    char* directory = nullptr;
    bool registerLibraryDirectory = false;
};

} // namespace Sea
