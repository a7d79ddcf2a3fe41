#include "viewer/overlay/OverlayController.h"

#include "viewer/overlay/Compass.h"
#include "viewer/overlay/CoordinateReadout.h"
#include "viewer/overlay/HelpPage.h"
#include "viewer/overlay/ImagePanel.h"
#include "viewer/overlay/Legend.h"
#include "viewer/overlay/Logo.h"

#include <osg/BlendFunc>
#include <osg/Switch>
#include <osgViewer/GraphicsWindow>
#include <osgViewer/ViewerBase>

namespace osgTAVRI
{

namespace
{
const osg::Vec4 white(1.0f, 1.0f, 1.0f, 1.0f);
const int readoutPanelWidth = 200, readoutPanelHeight = 90;

osg::MatrixTransform* makeTransform(osg::Node* child)
{
    osg::MatrixTransform* transform = new osg::MatrixTransform;
    transform->addChild(child);
    return transform;
}

void place(osg::MatrixTransform* transform, int x, int y)
{
    transform->setMatrix(osg::Matrixd::translate(static_cast<double>(x), static_cast<double>(y), 0.0));
}

void resizeChildPanel(osg::MatrixTransform* transform, int width, int height)
{
    if (transform->getNumChildren() > 0)
        ImagePanel::resizePanel(transform->getChild(0)->asGroup(), width, height);
}
} // namespace

OverlayController::OverlayController(osg::Group* overlayGroup, osg::Camera* masterCamera)
    : parent(overlayGroup), camera(masterCamera)
{
}

OverlayController::OverlayController(const OverlayController& other, const osg::CopyOp& copyop)
    : osg::Object(other, copyop), osg::Callback(other, copyop), osgGA::GUIEventHandler(other, copyop),
      parent(other.parent), camera(other.camera), useGeoCoords(other.useGeoCoords),
      coordinateOffset(other.coordinateOffset), helpWidth(other.helpWidth), helpHeight(other.helpHeight)
{
}

bool OverlayController::handle(const osgGA::GUIEventAdapter& ea, osgGA::GUIActionAdapter& aa)
{
    osgViewer::View* view = dynamic_cast<osgViewer::View*>(&aa);
    if (!built)
        build(view);
    osgViewer::GraphicsWindow* window =
        hudCamera.valid() ? dynamic_cast<osgViewer::GraphicsWindow*>(hudCamera->getGraphicsContext()) : nullptr;
    if (!window)
        return false;

    switch (ea.getEventType())
    {
    case osgGA::GUIEventAdapter::KEYDOWN:
        if (ea.getKey() == osgGA::GUIEventAdapter::KEY_F1)
        {
            toggleHelp();
            aa.requestRedraw();
        }
        else if (ea.getKey() == 'm')
            pickMode = true;
        break;
    case osgGA::GUIEventAdapter::KEYUP:
        if (ea.getKey() == 'm')
            pickMode = false;
        break;
    case osgGA::GUIEventAdapter::MOVE:
        // Only moves without a button pick: a drag with M held turns the view instead.
        if (pickMode)
        {
            osg::Vec3d point;
            if (CoordinateReadout::pickPoint(view, ea.getX(), ea.getY(), point))
            {
                showPickedPoint(point);
                aa.requestRedraw();
            }
        }
        break;
    case osgGA::GUIEventAdapter::RESIZE:
        // The context's size is the one the window has now; the event may carry an older one.
        if (const osg::GraphicsContext::Traits* traits = window->getTraits())
            layout(traits->width, traits->height);
        break;
    default:
        break;
    }
    return false;
}

void OverlayController::build(osgViewer::View* view)
{
    if (built || !view || !view->getViewerBase() || !parent.valid())
        return;
    osgViewer::ViewerBase::Contexts contexts;
    view->getViewerBase()->getContexts(contexts, true);
    if (contexts.empty() || !contexts.front()->getTraits())
        return;
    osg::GraphicsContext* context = contexts.front();

    hudCamera = new osg::Camera;
    osg::StateSet* state = hudCamera->getOrCreateStateSet();
    // A clip plane enabled for the scene (the reflection) must not cut the overlay.
    state->setMode(GL_CLIP_PLANE0, osg::StateAttribute::OFF | osg::StateAttribute::PROTECTED);
    // Blending needs the usual function; the driver's initial one would draw alpha as opaque.
    state->setAttribute(new osg::BlendFunc(osg::BlendFunc::SRC_ALPHA, osg::BlendFunc::ONE_MINUS_SRC_ALPHA));
    hudCamera->setProjectionResizePolicy(osg::Camera::FIXED);
    hudCamera->setGraphicsContext(context);
    hudCamera->setRenderOrder(osg::Camera::POST_RENDER, 10);
    hudCamera->setReferenceFrame(osg::Transform::ABSOLUTE_RF);
    hudCamera->setViewMatrix(osg::Matrixd::identity());
    // The overlay is flat and drawn in order: no depth test, so no depth buffer to clear.
    hudCamera->setClearMask(0);
    state->setMode(GL_DEPTH_TEST, osg::StateAttribute::OFF);

    if (osg::ref_ptr<osg::Geode> readout = CoordinateReadout::makeCoordinateNode())
    {
        osg::ref_ptr<osg::Group> panel = ImagePanel::makePanel(ImagePanel::minimumSize, ImagePanel::minimumSize, white);
        coordinatePanelTransform = makeTransform(panel.get());
        hudCamera->addChild(coordinatePanelTransform.get());
        readout->setUpdateCallback(new CoordinateUpdateCallback(camera.get(), useGeoCoords, coordinateOffset, this));
        coordinateTextTransform = makeTransform(readout.get());
        hudCamera->addChild(coordinateTextTransform.get());
    }
    const SizedNode<osg::Geode> compassItem = Compass::makeCompassNode();
    compassSize = compassItem.width;
    if (osg::Geode* compass = compassItem.node.get())
    {
        compass->setUpdateCallback(new CompassUpdateCallback(camera.get()));
        compassTransform = makeTransform(compass);
        hudCamera->addChild(compassTransform.get());
    }
    const SizedNode<osg::Switch> logoItem = Logo::makeLogoNode();
    logoWidth = logoItem.width;
    logoHeight = logoItem.height;
    if (osg::Switch* logo = logoItem.node.get())
    {
        logoTransform = makeTransform(logo);
        hudCamera->addChild(logoTransform.get());
    }
    const SizedNode<osg::Geode> legendItem = Legend::makeLegendNode();
    legendWidth = legendItem.width;
    legendHeight = legendItem.height;
    if (osg::Geode* legend = legendItem.node.get())
    {
        legendTransform = makeTransform(legend);
        hudCamera->addChild(legendTransform.get());
    }
    helpHeight = HelpPage::pageHeight();
    osg::ref_ptr<osg::Group> helpPanel = ImagePanel::makePanel(ImagePanel::minimumSize, ImagePanel::minimumSize, white);
    if (osg::ref_ptr<osg::Node> help = HelpPage::makeHelpNode(helpWidth, helpHeight, helpPanel.get()))
    {
        // The panel is drawn into the page's image under the texts, so that an open page costs
        // one quad; its transform stays out of the overlay and keeps the panel's place and size.
        helpPanelTransform = makeTransform(helpPanel.get());
        helpTextTransform = makeTransform(help.get());
        hudCamera->addChild(helpTextTransform.get());
    }

    parent->addChild(hudCamera.get());
    layout(context->getTraits()->width, context->getTraits()->height);
    built = true;
}

void OverlayController::layout(int width, int height)
{
    // A minimised window reports no area; the last layout stays for when it comes back.
    if (!hudCamera.valid() || width <= 0 || height <= 0)
        return;
    windowWidth = width;
    windowHeight = height;
    hudCamera->setViewport(0, 0, width, height);
    hudCamera->setProjectionMatrix(osg::Matrixd::ortho2D(0.0, width, 0.0, height));

    if (coordinatePanelTransform.valid() && coordinateTextTransform.valid())
    {
        place(coordinatePanelTransform.get(), 8, 8);
        resizeChildPanel(coordinatePanelTransform.get(), readoutPanelWidth, readoutPanelHeight);
        place(coordinateTextTransform.get(), 24, 24);
    }
    if (helpPanelTransform.valid() && helpTextTransform.valid())
    {
        const int x = width / 2 - helpWidth / 2;
        int y = height / 2 - helpHeight / 2;
        // Centred, the grown page would reach down over the readout in a window of 768 rows;
        // it stands on it instead where the window is tall enough. Where the two overlapped,
        // the toolkit drew them in no fixed order, as their depths are the same.
        const int aboveReadout = 8 + readoutPanelHeight + 8;
        if (coordinatePanelTransform.valid() && y < aboveReadout && aboveReadout + helpHeight <= height)
            y = aboveReadout;
        place(helpPanelTransform.get(), x, y);
        resizeChildPanel(helpPanelTransform.get(), helpWidth, helpHeight);
        place(helpTextTransform.get(), x, y + helpHeight);
    }
    if (compassTransform.valid())
    {
        const int h = compassSize / 2;
        place(compassTransform.get(), h + 8, height - 8 - h);
    }
    if (logoTransform.valid())
    {
        updateLogoVariant();
        place(logoTransform.get(), width - logoWidth - 16, height - logoHeight - 8);
    }
    if (legendTransform.valid())
        place(legendTransform.get(), 8, height / 2 - legendHeight / 2);
}

void OverlayController::toggleHelp()
{
    if (!helpPanelTransform.valid() || !helpTextTransform.valid())
        return;
    const osg::Node::NodeMask mask = helpPanelTransform->getNodeMask() == 0 ? 1 : 0;
    helpPanelTransform->setNodeMask(mask);
    helpTextTransform->setNodeMask(mask);
}

void OverlayController::updateLogoVariant()
{
    if (!logoTransform.valid() || logoTransform->getNumChildren() == 0 || !camera.valid())
        return;
    if (osg::Switch* logo = dynamic_cast<osg::Switch*>(logoTransform->getChild(0)))
        Logo::chooseVariant(*logo, camera->getClearColor());
}

void OverlayController::showPickedPoint(const osg::Vec3d& point)
{
    if (!coordinateTextTransform.valid() || coordinateTextTransform->getNumChildren() == 0)
        return;
    if (osg::Geode* readout = coordinateTextTransform->getChild(0)->asGeode())
        CoordinateReadout::setLines(*readout,
                                    CoordinateReadout::formatLines(point + coordinateOffset, useGeoCoords));
}

} // namespace osgTAVRI
