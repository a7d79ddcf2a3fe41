#include "tests/viewer/environment/WaterFixture.h"

#include "viewer/environment/sea/PlanarReflection.h"
#include "viewer/environment/sea/SeaDrawable.h"

#include <osg/GL>
#include <osg/ShapeDrawable>

#include <sstream>

namespace tavritest
{

std::string waterConfiguration(const osg::Vec3d& eye, const osg::Vec3d& centre, bool water, double windDirection)
{
    std::ostringstream text;
    text << "<Window x=\"0\" y=\"0\" width=\"320\" height=\"240\" numSamples=\"0\"/>"
         << "<Environment enableWater=\"" << (water ? 1 : 0) << "\" seaState=\"2\" windDirection=\""
         << windDirection << "\" "
         << "backgroundColorRed=\"1\" backgroundColorGreen=\"0\" backgroundColorBlue=\"0\"/>"
         << "<Navigation homeEyeX=\"" << eye.x() << "\" homeEyeY=\"" << eye.y() << "\" homeEyeZ=\"" << eye.z()
         << "\" homeCenterX=\"" << centre.x() << "\" homeCenterY=\"" << centre.y() << "\" homeCenterZ=\""
         << centre.z() << "\"/>";
    return text.str();
}

void installSeaData(ViewerHarness& harness) { harness.copyIntoTree(buildDir() + "/Resources/Sea", "Resources/Sea"); }

osg::ref_ptr<osg::Geode> unlitBox(const osg::Vec3& centre, float size, const osg::Vec4& colour)
{
    osg::ref_ptr<osg::ShapeDrawable> box = new osg::ShapeDrawable(new osg::Box(centre, size));
    box->setColor(colour);
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->addDrawable(box);
    geode->getOrCreateStateSet()->setMode(GL_LIGHTING, osg::StateAttribute::OFF | osg::StateAttribute::PROTECTED);
    return geode;
}

osgTAVRI::SeaDrawable* findSea(osg::Group* scene)
{
    for (unsigned int i = 0; i < scene->getNumChildren(); ++i)
        if (osg::Geode* geode = scene->getChild(i)->asGeode())
            for (unsigned int j = 0; j < geode->getNumDrawables(); ++j)
                if (auto* sea = dynamic_cast<osgTAVRI::SeaDrawable*>(geode->getDrawable(j)))
                    return sea;
    return nullptr;
}

osgTAVRI::PlanarReflection* findReflection(osg::Group* sceneRoot)
{
    for (unsigned int i = 0; i < sceneRoot->getNumChildren(); ++i)
        if (auto* reflection = dynamic_cast<osgTAVRI::PlanarReflection*>(sceneRoot->getChild(i)))
            return reflection;
    return nullptr;
}

osg::Vec3i pixel(const osg::Image* image, int x, int y)
{
    const unsigned char* p = image->data(x, y);
    return osg::Vec3i(p[0], p[1], p[2]);
}

namespace
{
// Reads a texture back after the main camera has drawn, in the drawing thread.
class TextureGrab : public osg::Camera::DrawCallback
{
public:
    explicit TextureGrab(osg::Texture2D* grabbed) : texture(grabbed) {}
    void operator()(osg::RenderInfo& renderInfo) const override
    {
        osg::Texture::TextureObject* object = texture->getTextureObject(renderInfo.getContextID());
        if (!object)
            return;
        image->allocateImage(texture->getTextureWidth(), texture->getTextureHeight(), 1, GL_RGBA, GL_UNSIGNED_BYTE);
        glBindTexture(GL_TEXTURE_2D, object->id());
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, image->data());
        glBindTexture(GL_TEXTURE_2D, 0);
    }
    osg::ref_ptr<osg::Texture2D> texture;
    osg::ref_ptr<osg::Image> image = new osg::Image;
};
} // namespace

osg::ref_ptr<osg::Image> readReflection(ViewerHarness& harness)
{
    osgTAVRI::PlanarReflection* reflection = findReflection(harness.sceneRoot());
    if (!reflection)
        return nullptr;
    osg::ref_ptr<TextureGrab> grab = new TextureGrab(reflection->getReflectionTexture());
    osg::Camera* camera = harness.viewer().getCamera();
    camera->setFinalDrawCallback(grab);
    harness.frame();
    camera->setFinalDrawCallback(nullptr);
    return grab->image->valid() ? grab->image : nullptr;
}

} // namespace tavritest
