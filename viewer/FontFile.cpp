#include "viewer/FontFile.h"

#include <osgDB/FileUtils>

namespace osgTAVRI
{

osg::ref_ptr<osgText::Font> FontFile::read(const std::string& path)
{
    if (osgDB::fileType(path) != osgDB::REGULAR_FILE)
        return nullptr;
    return osgText::readRefFontFile(path);
}

} // namespace osgTAVRI
