#pragma once

#include <osg/Billboard>
#include <osg/Vec4>
#include <osgText/Font>
#include <osgText/Text>

#include <string>

namespace osgTAVRI
{

// The billboard that carries the scene's text labels: it turns each label about its own point
// towards the eye, and keeps it unlit whatever the lighting toggle does to the scene.
class LabelBillboard
{
public:
    static osg::ref_ptr<osg::Billboard> create();

    // A centred text lying in the billboard's plane, written as its bytes (Windows-1252).
    static osg::ref_ptr<osgText::Text> createText(const std::string& text, osgText::Font* font,
                                                  unsigned int resolution, const osg::Vec4& colour,
                                                  float characterSize);
};

} // namespace osgTAVRI
