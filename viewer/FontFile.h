#pragma once

#include <osgText/Font>

#include <string>

namespace osgTAVRI
{

namespace FontFile
{
// The font of that file, or null when the file is missing or unreadable. The toolkit's font
// reader puts a system font in place of a missing file; the program wants its own font or
// none, so that a missing file removes what needs it instead of drawing it in another font.
osg::ref_ptr<osgText::Font> read(const std::string& path);
} // namespace FontFile

} // namespace osgTAVRI
