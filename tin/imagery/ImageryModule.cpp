#include "tin/imagery/ImageryModule.h"

#include "common/ProgramFolder.h"

#include <dlfcn.h>

namespace osgTAVRI
{

namespace
{
struct Loaded
{
    const ImageryFunctions* functions = nullptr;
    std::string error;
};
} // namespace

const ImageryModule* ImageryModule::instance(std::string& error)
{
    static const Loaded loaded = [] {
        Loaded result;
        const std::string folder = programFolder();
        const std::string path = (folder.empty() ? std::string(".") : folder) + "/" + fileName;
        void* handle = dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL);
        if (!handle)
        {
            const char* reason = dlerror();
            result.error = "--texture needs the imagery module, which cannot be loaded: " +
                           std::string(reason ? reason : path);
            return result;
        }
        using Entry = const ImageryFunctions* (*)();
        const Entry entry = reinterpret_cast<Entry>(dlsym(handle, imageryModuleSymbol));
        const ImageryFunctions* functions = entry ? entry() : nullptr;
        if (!functions || functions->version != version)
        {
            result.error = "--texture needs the imagery module, and " + path + " is not the one of this tin";
            return result;
        }
        result.functions = functions;
        return result;
    }();
    static const ImageryModule module(loaded.functions);
    if (!loaded.functions)
        error = loaded.error;
    return loaded.functions ? &module : nullptr;
}

} // namespace osgTAVRI
