#pragma once

#include <osg/Drawable>

namespace Sea
{
class Ocean;
}

namespace osgTAVRI
{

// Advances the sea's waves to the frame's simulation time in the update traversal.
class SeaUpdateCallback : public osg::Drawable::UpdateCallback
{
public:
    SeaUpdateCallback() = default;
    // The ocean belongs to the sea drawable, which removes this callback before it lets go.
    explicit SeaUpdateCallback(Sea::Ocean* ocean);
    SeaUpdateCallback(const SeaUpdateCallback& other, const osg::CopyOp& copyop = osg::CopyOp::SHALLOW_COPY);

    META_Object(osgTAVRI, SeaUpdateCallback);

    void update(osg::NodeVisitor* nv, osg::Drawable* drawable) override;

protected:
    ~SeaUpdateCallback() override = default;

    Sea::Ocean* ocean = nullptr;
};

} // namespace osgTAVRI
