#pragma once

#include <string>

namespace osgTAVRI
{

// The coordinate system a LAS file declares, as OGC WKT: from its WKT record (LASF_Projection
// 2112, also as an extended record of LAS 1.4) or from its GeoTIFF keys (34735), whose
// projected or geographic EPSG code is looked up. "" when the file declares none that can be
// read, or cannot be read itself: an unknown system is not an error.
std::string readLasCoordinateSystem(const std::string& path);

} // namespace osgTAVRI
