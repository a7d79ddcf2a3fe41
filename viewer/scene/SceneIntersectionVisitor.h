#pragma once

#include <osgUtil/IntersectionVisitor>

namespace osgTAVRI
{

// An intersection visitor that sees only the world's own geometry: cameras nested below
// the camera it starts from (the overlay, the reflection) draw in other frames or mirror
// the scene, and the sky box (a clear node) surrounds the eye. Used for the ground under
// the view and for the point under the cursor. A paged database is intersected at its finest
// level everywhere: files the pager has not loaded are read through PagedIntersectionCache,
// and where a file cannot be read the coarser level it stands under is used.
class SceneIntersectionVisitor : public osgUtil::IntersectionVisitor
{
public:
    explicit SceneIntersectionVisitor(osgUtil::Intersector* intersector);

    META_NodeVisitor(osgTAVRI, SceneIntersectionVisitor)

    using osgUtil::IntersectionVisitor::apply;
    void apply(osg::Camera& camera) override;
    void apply(osg::ClearNode& node) override;
    void apply(osg::PagedLOD& lod) override;

private:
    bool insideCamera = false;
};

} // namespace osgTAVRI
