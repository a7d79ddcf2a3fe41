// The entry point of the imagery module, which tin opens for --texture.
#include "tin/imagery/ImageryModule.h"
#include "tin/imagery/gdal/GdalRasterSource.h"
#include "tin/imagery/gdal/LasCoordinateSystem.h"

extern "C" __attribute__((visibility("default"))) const osgTAVRI::ImageryFunctions* tavriImageryFunctions()
{
    static const osgTAVRI::ImageryFunctions functions{osgTAVRI::ImageryModule::version,
                                                      &osgTAVRI::GdalRasterSource::open,
                                                      &osgTAVRI::readLasCoordinateSystem};
    return &functions;
}
