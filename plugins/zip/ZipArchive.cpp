#include "plugins/zip/ZipArchive.h"

#include <osgDB/FileNameUtils>

#include <zip.h>

#include <algorithm>
#include <memory>

namespace osgTAVRI
{

namespace
{

std::string normalise(std::string name)
{
    for (char& c : name)
        if (c == '\\')
            c = '/';
    while (name.compare(0, 2, "./") == 0)
        name.erase(0, 2);
    return name;
}

std::string errorText(zip_error_t* error)
{
    return zip_error_strerror(error);
}

struct FileCloser
{
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};

} // namespace

osg::ref_ptr<ZipArchive> ZipArchive::open(std::string bytes, const std::string& password, std::string& error)
{
    osg::ref_ptr<ZipArchive> result = new ZipArchive;
    result->data = std::move(bytes);

    zip_error_t zerr;
    zip_error_init(&zerr);
    zip_source_t* source = zip_source_buffer_create(result->data.data(), result->data.size(), 0, &zerr);
    if (!source)
    {
        error = errorText(&zerr);
        zip_error_fini(&zerr);
        return nullptr;
    }
    result->archive = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &zerr);
    if (!result->archive)
    {
        zip_source_free(source);
        error = errorText(&zerr);
        zip_error_fini(&zerr);
        return nullptr;
    }
    zip_error_fini(&zerr);

    if (!password.empty())
        zip_set_default_password(result->archive, password.c_str());

    const zip_int64_t count = zip_get_num_entries(result->archive, 0);
    for (zip_int64_t i = 0; i < count; ++i)
    {
        const char* name = zip_get_name(result->archive, static_cast<zip_uint64_t>(i), 0);
        result->names.push_back(name ? normalise(name) : std::string());
    }
    return result;
}

ZipArchive::~ZipArchive()
{
    if (archive)
        zip_discard(archive);
}

bool ZipArchive::isDirectory(std::size_t index) const
{
    return index >= names.size() || names[index].empty() || names[index].back() == '/';
}

int ZipArchive::findEntry(const std::string& name) const
{
    const std::string wanted = normalise(name);
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i] == wanted)
            return static_cast<int>(i);
    const std::string lower = osgDB::convertToLowerCase(wanted);
    for (std::size_t i = 0; i < names.size(); ++i)
        if (osgDB::convertToLowerCase(names[i]) == lower)
            return static_cast<int>(i);
    return -1;
}

bool ZipArchive::readEntry(std::size_t index, std::string& out, std::string& error) const
{
    out.clear();
    if (index >= names.size())
    {
        error = "no such entry";
        return false;
    }
    const std::string limit = "the limit of " + std::to_string(maxEntrySize >> 20) + " MiB";
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(archive, index, 0, &st) == 0 && (st.valid & ZIP_STAT_SIZE) && st.size > maxEntrySize)
    {
        error = names[index] + " inflates to " + std::to_string(st.size) + " bytes, more than " + limit;
        return false;
    }

    // libzip 1.7 leaks the entry's whole reading chain when it opens an entry whose encryption it
    // cannot decode (the strong-encryption flag of a damaged header), so such entries are refused
    // before they are opened.
    if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE &&
        !zip_encryption_method_supported(st.encryption_method, 0))
    {
        zip_error_t unsupported;
        zip_error_init_with_code(&unsupported, ZIP_ER_ENCRNOTSUPP);
        error = names[index] + ": " + errorText(&unsupported);
        zip_error_fini(&unsupported);
        return false;
    }

    // The recorded size is a claim of the archive's: it may start the buffer, but only up to a
    // modest size; beyond that the buffer grows with what actually inflates.
    if (st.valid & ZIP_STAT_SIZE)
        out.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(st.size, initialBufferSize)));

    // Closed also when the buffer cannot grow and std::bad_alloc ends the read early.
    std::unique_ptr<zip_file_t, FileCloser> file(zip_fopen_index(archive, index, 0));
    if (!file)
    {
        error = names[index] + ": " + zip_strerror(archive);
        return false;
    }
    // The recorded size may lie, so the bound also holds for what actually comes out.
    char buffer[1 << 16];
    bool ok = true;
    for (;;)
    {
        const zip_int64_t n = zip_fread(file.get(), buffer, sizeof(buffer));
        if (n < 0)
        {
            error = names[index] + ": " + zip_file_strerror(file.get());
            ok = false;
            break;
        }
        if (n == 0)
            break;
        if (out.size() + static_cast<std::size_t>(n) > maxEntrySize)
        {
            error = names[index] + " inflates to more than " + limit;
            ok = false;
            break;
        }
        out.append(buffer, static_cast<std::size_t>(n));
    }
    if (zip_fclose(file.release()) != 0 && ok)
    {
        error = names[index] + ": " + zip_strerror(archive);
        ok = false;
    }
    if (!ok)
        out.clear();
    return ok;
}

} // namespace osgTAVRI
