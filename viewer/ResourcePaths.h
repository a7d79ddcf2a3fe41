#pragma once

namespace osgTAVRI
{

// Resources that several parts of the viewer read, relative to the program's Bin folder.
namespace ResourcePaths
{
constexpr const char* font = "../Resources/Fonts/arial.ttf";
// The ocean library's data tree; the sky box's six images lie in it too.
constexpr const char* sea = "../Resources/Sea";
} // namespace ResourcePaths

} // namespace osgTAVRI
