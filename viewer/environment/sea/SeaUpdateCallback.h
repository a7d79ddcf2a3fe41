#pragma once

#include <osg/Drawable>

namespace osgTAVRI
{

// Advances the sea of the sea drawable it is installed on to the frame's simulation time in
// the update traversal; nothing happens until that drawable has made its sea.
class SeaUpdateCallback : public osg::Drawable::UpdateCallback
{
public:
    SeaUpdateCallback() = default;
    SeaUpdateCallback(const SeaUpdateCallback& other, const osg::CopyOp& copyop = osg::CopyOp::SHALLOW_COPY);

    META_Object(osgTAVRI, SeaUpdateCallback);

    void update(osg::NodeVisitor* nv, osg::Drawable* drawable) override;

protected:
    ~SeaUpdateCallback() override = default;
};

} // namespace osgTAVRI
