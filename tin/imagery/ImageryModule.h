#pragma once

#include "tin/imagery/RasterSource.h"

#include <osg/ref_ptr>

#include <string>

namespace osgTAVRI
{

// What the imagery module hands tin: the calls that need GDAL. The module's one exported
// symbol, imageryModuleSymbol, returns it; `version` must match the program's.
struct ImageryFunctions
{
    int version;
    // Null, and `error` set to the reason, when the raster cannot be read.
    osg::ref_ptr<RasterSource> (*openRaster)(const std::string& path, std::string& error);
    // The coordinate system a LAS file declares, as OGC WKT; "" when unknown.
    std::string (*lasCoordinateSystem)(const std::string& path);
};

// GDAL and the hundred-odd libraries behind it cost a run without --texture time and memory
// at start-up, so the code that reads rasters and coordinate systems is a module beside the
// program, opened the first time a run needs it.
class ImageryModule
{
public:
    static const int version = 1;
    static constexpr const char* fileName = "tin-imagery.so";
    static constexpr const char* imageryModuleSymbol = "tavriImageryFunctions";

    // The module beside the running program, loaded at the first call and kept for the life of
    // the process (its rasters' code lives in it, and GDAL does not unload cleanly). Null, with
    // `error` set to one line saying why, when it cannot be loaded.
    static const ImageryModule* instance(std::string& error);

    osg::ref_ptr<RasterSource> openRaster(const std::string& path, std::string& error) const
    {
        return functions->openRaster(path, error);
    }
    std::string lasCoordinateSystem(const std::string& path) const { return functions->lasCoordinateSystem(path); }

private:
    explicit ImageryModule(const ImageryFunctions* moduleFunctions) : functions(moduleFunctions) {}

    const ImageryFunctions* functions;
};

} // namespace osgTAVRI
