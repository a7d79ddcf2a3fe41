#pragma once

#include <osg/Node>
#include <osgViewer/Viewer>

#include <string>

namespace osgTAVRI
{

// How the viewer pages level-of-detail databases (a model whose file is a paged root loads
// only the root; the toolkit's pager loads the rest on its own threads while the user moves).
namespace PagedTerrain
{

// The memory the pager may fill, in MB, unless the configuration says otherwise: a quarter
// of a 24 GB machine, leaving the rest to the models that are not paged and to the system.
constexpr unsigned defaultMemoryMB = 6144;

// Bytes of memory one loaded file of a database takes, per byte of file: vertices, normals
// and indices in main memory and again in the graphics driver's buffers.
constexpr double memoryPerFileByte = 3.0;

// The number of PagedLOD children the pager keeps once they are out of view, so that the
// loaded files of the databases below `scene` take about `memoryMB` at most. Databases written
// by tin name their average tile size in their root; others count as 2 MB a file.
unsigned pagedNodeBudget(osg::Node* scene, unsigned memoryMB);

// Before any model is read: files that cannot be read stay coarse with one line each
// (PagedFileGuard), and files fetched from a server go to the toolkit's file cache
// (OSG_FILE_CACHE, else $XDG_CACHE_HOME/TAVRIview or ~/.cache/TAVRIview).
void setupReading();

// Once the configured models are there: bounds the viewer's pager by pagedNodeBudget.
void boundPager(osgViewer::Viewer& viewer, osg::Node* scene, unsigned memoryMB);

std::string fileCacheFolder();

} // namespace PagedTerrain

} // namespace osgTAVRI
