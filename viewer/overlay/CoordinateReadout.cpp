#include "viewer/overlay/CoordinateReadout.h"

#include "viewer/scene/SceneIntersectionVisitor.h"
#include "viewer/overlay/OverlayController.h"
#include "viewer/overlay/OverlayResources.h"

#include <osg/Notify>
#include <osgUtil/LineSegmentIntersector>

#include <sstream>

namespace osgTAVRI
{

namespace
{
std::string formatLine(const char* label, double value)
{
    std::ostringstream line;
    line.setf(std::ios::fixed);
    line.precision(1);
    line << label << value;
    return line.str();
}
} // namespace

osg::ref_ptr<osg::Geode> CoordinateReadout::makeCoordinateNode()
{
    osg::ref_ptr<osgText::Font> font = OverlayResources::readFont();
    if (!font)
    {
        OSG_WARN << "Could not load coordinates font file" << std::endl;
        return nullptr;
    }
    const float characterHeight = 18.0f;
    osg::Geode* geode = new osg::Geode;
    const char* initial[3] = {"X: 0.0", "Y: 0.0", "Z: 0.0"};
    for (int line = 0; line < 3; ++line)
    {
        const float y = characterHeight * 1.25f * static_cast<float>(2 - line);
        osg::ref_ptr<osgText::Text> text =
            OverlayResources::makeText(font.get(), osgText::Text::LEFT_BOTTOM_BASE_LINE, osg::Vec3(0.0f, y, 0.0f));
        // Rewritten in the update traversal; dynamic, so a draw thread never sees it half done.
        text->setDataVariance(osg::Object::DYNAMIC);
        OverlayResources::setText(*text, initial[line]);
        geode->addDrawable(text.get());
    }
    osg::StateSet* state = geode->getOrCreateStateSet();
    state->setDataVariance(osg::Object::DYNAMIC);
    state->setMode(GL_LIGHTING, osg::StateAttribute::OFF | osg::StateAttribute::PROTECTED);
    return geode;
}

CoordinateReadout::Lines CoordinateReadout::formatLines(const osg::Vec3d& position, bool useGeoCoords)
{
    if (useGeoCoords)
        return {formatLine("N: ", position.y()), formatLine("E: ", position.x()), formatLine("Z: ", position.z())};
    return {formatLine("X: ", position.x()), formatLine("Y: ", position.y()), formatLine("Z: ", position.z())};
}

void CoordinateReadout::setLines(osg::Geode& readout, const Lines& lines)
{
    for (unsigned int i = 0; i < 3 && i < readout.getNumDrawables(); ++i)
        if (osgText::Text* text = dynamic_cast<osgText::Text*>(readout.getDrawable(i)))
            OverlayResources::setText(*text, lines[i]);
}

bool CoordinateReadout::pickPoint(osgViewer::View* view, float x, float y, osg::Vec3d& point)
{
    if (!view || !view->getCamera())
        return false;
    osg::ref_ptr<osgUtil::LineSegmentIntersector> intersector =
        new osgUtil::LineSegmentIntersector(osgUtil::Intersector::WINDOW, x, y);
    SceneIntersectionVisitor visitor(intersector.get());
    view->getCamera()->accept(visitor);
    if (!intersector->containsIntersections())
        return false;
    point = intersector->getFirstIntersection().getWorldIntersectPoint();
    return true;
}

CoordinateUpdateCallback::CoordinateUpdateCallback(osg::Camera* masterCamera, bool geoCoords,
                                                   const osg::Vec3d& coordinateOffset, OverlayController* controller)
    : camera(masterCamera), useGeoCoords(geoCoords), offset(coordinateOffset), overlay(controller)
{
}

CoordinateUpdateCallback::CoordinateUpdateCallback(const CoordinateUpdateCallback& other, const osg::CopyOp& copyop)
    : osg::Object(other, copyop), osg::Callback(other, copyop), osg::NodeCallback(other, copyop),
      frameCounter(other.frameCounter), camera(other.camera), useGeoCoords(other.useGeoCoords), offset(other.offset),
      overlay(other.overlay)
{
}

void CoordinateUpdateCallback::operator()(osg::Node* node, osg::NodeVisitor* nv)
{
    if (frameCounter == 0)
    {
        osg::ref_ptr<osg::Camera> view;
        osg::ref_ptr<OverlayController> controller;
        const bool picking = overlay.lock(controller) && controller->getPickMode();
        osg::Geode* geode = node->asGeode();
        if (geode && !picking && camera.lock(view))
        {
            // The eye in double precision: projected coordinates reach millions of metres,
            // where single precision would lose the decimal shown.
            const osg::Vec3d eye = osg::Matrixd::inverse(OverlayResources::currentViewMatrix(*view)).getTrans();
            CoordinateReadout::setLines(*geode, CoordinateReadout::formatLines(eye + offset, useGeoCoords));
        }
    }
    frameCounter = (frameCounter + 1) % 30;
    traverse(node, nv);
}

} // namespace osgTAVRI
