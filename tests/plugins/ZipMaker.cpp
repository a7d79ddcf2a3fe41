#include "tests/plugins/ZipMaker.h"

#include <zip.h>

#include <stdexcept>

namespace ziptest
{

void makeZip(const std::string& path, const std::vector<Entry>& entries, Encryption encryption,
             const std::string& password)
{
    int error = 0;
    zip_t* za = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!za)
        throw std::runtime_error("zip_open failed for " + path);
    for (const Entry& e : entries)
    {
        zip_source_t* src = zip_source_buffer(za, e.data.data(), e.data.size(), 0);
        const zip_int64_t index = zip_file_add(za, e.name.c_str(), src, ZIP_FL_ENC_UTF_8);
        if (index < 0)
            throw std::runtime_error(std::string("zip_file_add: ") + zip_strerror(za));
        if (encryption != Encryption::None &&
            zip_file_set_encryption(za, static_cast<zip_uint64_t>(index),
                                    encryption == Encryption::Aes256 ? ZIP_EM_AES_256 : ZIP_EM_TRAD_PKWARE,
                                    password.c_str()) != 0)
            throw std::runtime_error(std::string("zip_file_set_encryption: ") + zip_strerror(za));
    }
    if (zip_close(za) != 0)
        throw std::runtime_error(std::string("zip_close: ") + zip_strerror(za));
}

} // namespace ziptest
