#pragma once

#include "tin/triangulation/DelaunayMesh.h"

#include <cstdint>
#include <vector>

namespace osgTAVRI
{

// Makes given segments edges of a triangulation. A missing segment is walked across
// from one end; the triangles it crosses are removed, and the polygons on either
// side (the chains of crossed-edge ends) are filled again with PolygonFiller.
// Removed triangles whose places are not reused keep none as their vertices.
class ConstraintForcer
{
public:
    explicit ConstraintForcer(DelaunayMesh& mesh);

    void force(uint32_t a, uint32_t b);

    // Triangles crossed by all forced segments so far, and how the polygons
    // beside them were filled: by the tessellator, or by clipping ears when its
    // result was no triangulation of the polygon.
    uint32_t getNumCrossed() const { return numCrossed; }
    uint32_t getNumTessellated() const { return numTessellated; }
    uint32_t getNumEarsClipped() const { return numEarsClipped; }

private:
    void outgoing(uint32_t v, std::vector<uint32_t>& edges) const;
    bool forceSegment(uint32_t a, uint32_t b, uint32_t& resume);
    void replace(const std::vector<uint32_t>& crossed, const std::vector<uint32_t>& fill);

    DelaunayMesh& mesh;
    std::vector<uint32_t> vertexEdge;
    uint32_t numCrossed = 0;
    uint32_t numTessellated = 0;
    uint32_t numEarsClipped = 0;
};

} // namespace osgTAVRI
