#include "tin/triangulation/DelaunayMesh.h"

#include "tin/triangulation/HugePages.h"
#include "tin/triangulation/Predicates.h"
#include "tin/triangulation/RadixSort.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace osgTAVRI
{

namespace
{

// Squared circumradius of (a, b, c); infinite when they are (nearly) collinear.
double circumradius2(const osg::Vec3d& a, const osg::Vec3d& b, const osg::Vec3d& c)
{
    const double dx = b.x() - a.x(), dy = b.y() - a.y();
    const double ex = c.x() - a.x(), ey = c.y() - a.y();
    const double bl = dx * dx + dy * dy, cl = ex * ex + ey * ey;
    const double d = 0.5 / (dx * ey - dy * ex);
    const double x = (ey * bl - dy * cl) * d, y = (dx * cl - ex * bl) * d;
    const double r2 = x * x + y * y;
    return std::isfinite(r2) ? r2 : std::numeric_limits<double>::infinity();
}

uint64_t edgeKey(uint32_t a, uint32_t b)
{
    return a < b ? (uint64_t(a) << 32) | b : (uint64_t(b) << 32) | a;
}

// A number in [0, 1) that grows monotonically with the angle of (dx, dy).
double pseudoAngle(double dx, double dy)
{
    const double sum = std::fabs(dx) + std::fabs(dy);
    if (!(sum > 0.0))
        return 0.0;
    const double p = dx / sum;
    return (dy > 0.0 ? 3.0 - p : 1.0 + p) / 4.0;
}

} // namespace

DelaunayMesh::DelaunayMesh(osg::Vec3dArray& pointArray)
    : points(pointArray)
{
}

double DelaunayMesh::orient(uint32_t a, uint32_t b, uint32_t c) const
{
    const osg::Vec3d& pa = points[a];
    const osg::Vec3d& pb = points[b];
    const osg::Vec3d& pc = points[c];
    return predicates::orient2d(pa.x(), pa.y(), pb.x(), pb.y(), pc.x(), pc.y());
}

bool DelaunayMesh::chooseSeed(uint32_t& i0, uint32_t& i1, uint32_t& i2) const
{
    const uint32_t n = static_cast<uint32_t>(points.size());
    double minX = points[0].x(), maxX = minX, minY = points[0].y(), maxY = minY;
    for (const osg::Vec3d& p : points)
    {
        minX = std::min(minX, p.x());
        maxX = std::max(maxX, p.x());
        minY = std::min(minY, p.y());
        maxY = std::max(maxY, p.y());
    }
    const double cx = 0.5 * (minX + maxX), cy = 0.5 * (minY + maxY);

    // The point nearest the centre, its nearest neighbour (a Delaunay edge, as the
    // circle on it is empty), and the third point with the smallest circle through
    // both: that circle is empty too, so every other point is at least as far
    // from its centre as the seed.
    auto dist2 = [](double x0, double y0, double x1, double y1) {
        return (x0 - x1) * (x0 - x1) + (y0 - y1) * (y0 - y1);
    };
    double best = std::numeric_limits<double>::infinity();
    i0 = 0;
    for (uint32_t i = 0; i < n; ++i)
    {
        const double d = dist2(cx, cy, points[i].x(), points[i].y());
        if (d < best)
        {
            best = d;
            i0 = i;
        }
    }
    best = std::numeric_limits<double>::infinity();
    i1 = none;
    for (uint32_t i = 0; i < n; ++i)
    {
        if (i == i0)
            continue;
        const double d = dist2(points[i0].x(), points[i0].y(), points[i].x(), points[i].y());
        if (d < best || i1 == none)
        {
            best = d;
            i1 = i;
        }
    }
    best = std::numeric_limits<double>::infinity();
    i2 = none;
    for (uint32_t i = 0; i < n; ++i)
    {
        if (i == i0 || i == i1 || orient(i0, i1, i) == 0.0)
            continue;
        const double r2 = circumradius2(points[i0], points[i1], points[i]);
        if (r2 < best || i2 == none)
        {
            best = r2;
            i2 = i;
        }
    }
    return i2 != none;
}

uint32_t DelaunayMesh::hashKey(double x, double y) const
{
    const uint32_t size = static_cast<uint32_t>(hullHash.size());
    const uint32_t key =
        static_cast<uint32_t>(std::floor(pseudoAngle(x - centreX, y - centreY) * static_cast<double>(size)));
    // The angle is below 1, so only rounding can reach the size: a subtraction wraps it
    // where a division would cost more than the rest of the lookup.
    return key >= size ? key - size : key;
}

void DelaunayMesh::hashVertex(uint32_t v)
{
    hullHash[hashKey(points[v].x(), points[v].y())] = v;
}

bool DelaunayMesh::build(const std::vector<uint32_t>* order)
{
    if (!ids.empty())
        restoreOrder();
    triangles.clear();
    halfedges.clear();
    hullEdges.clear();
    const uint32_t n = static_cast<uint32_t>(points.size());
    if (n < 3)
        return false;

    uint32_t i0, i1, i2;
    if (!chooseSeed(i0, i1, i2))
        return false;
    if (orient(i0, i1, i2) < 0.0)
        std::swap(i1, i2);

    const osg::Vec3d& a = points[i0];
    const osg::Vec3d& b = points[i1];
    const osg::Vec3d& c = points[i2];
    {
        const double dx = b.x() - a.x(), dy = b.y() - a.y();
        const double ex = c.x() - a.x(), ey = c.y() - a.y();
        const double bl = dx * dx + dy * dy, cl = ex * ex + ey * ey;
        const double d = 0.5 / (dx * ey - dy * ex);
        centreX = a.x() + (ey * bl - dy * cl) * d;
        centreY = a.y() + (dx * cl - ex * bl) * d;
        if (!std::isfinite(centreX) || !std::isfinite(centreY))
        {
            centreX = (a.x() + b.x() + c.x()) / 3.0;
            centreY = (a.y() + b.y() + c.y()) / 3.0;
        }
    }

    ids.clear();
    reserveHuge(ids, n);
    ids.push_back(i0);
    ids.push_back(i1);
    ids.push_back(i2);
    uint32_t count = n;
    if (order)
    {
        // Points the order leaves out, or repeats, follow the inserted ones uninserted,
        // so that the array keeps every point once.
        std::vector<bool> taken(n, false);
        taken[i0] = taken[i1] = taken[i2] = true;
        for (uint32_t i : *order)
            if (i < n && !taken[i])
            {
                taken[i] = true;
                ids.push_back(i);
            }
        count = static_cast<uint32_t>(ids.size());
        for (uint32_t i = 0; i < n; ++i)
            if (!taken[i])
                ids.push_back(i);
    }
    else
    {
        // By distance, then index.
        std::vector<KeyedIndex> keys;
        reserveHuge(keys, n);
        for (uint32_t i = 0; i < n; ++i)
        {
            if (i == i0 || i == i1 || i == i2)
                continue;
            const double dx = points[i].x() - centreX, dy = points[i].y() - centreY;
            keys.push_back(KeyedIndex{orderedKey(dx * dx + dy * dy), i});
        }
        radixSort(keys);
        for (const KeyedIndex& key : keys)
            ids.push_back(key.index);
    }
    {
        std::vector<osg::Vec3d> ranked;
        reserveHuge(ranked, n);
        // Ranks are in distance order and reach all over the x-sorted points: the point a
        // few ranks on is fetched while this one is copied.
        const uint32_t ahead = 16;
        for (uint32_t r = 0; r < n; ++r)
        {
            if (r + ahead < n)
                __builtin_prefetch(&points[ids[r + ahead]]);
            ranked.push_back(points[ids[r]]);
        }
        points.asVector().swap(ranked);
    }

    const uint32_t maxTriangles = 2 * count;
    reserveHuge(triangles, 3 * static_cast<size_t>(maxTriangles));
    reserveHuge(halfedges, 3 * static_cast<size_t>(maxTriangles));
    for (std::vector<uint32_t>* hull : {&hullPrev, &hullNext, &hullTri})
        reserveHuge(*hull, count);
    hullPrev.assign(count, none);
    hullNext.assign(count, none);
    hullTri.assign(count, none);
    hullHash.assign(static_cast<size_t>(std::ceil(std::sqrt(static_cast<double>(count)))), none);

    hullNext[0] = 1;
    hullNext[1] = 2;
    hullNext[2] = 0;
    hullPrev[0] = 2;
    hullPrev[1] = 0;
    hullPrev[2] = 1;
    addTriangle(0, 1, 2);
    hullTri[0] = 0;
    hullTri[1] = 1;
    hullTri[2] = 2;
    hashVertex(0);
    hashVertex(1);
    hashVertex(2);
    hullStart = 0;

    for (uint32_t r = 3; r < count; ++r)
        insert(r);

    hullEdges.clear();
    uint32_t v = hullStart;
    do
    {
        hullEdges.push_back(edgeKey(v, hullNext[v]));
        v = hullNext[v];
    } while (v != hullStart && hullEdges.size() <= count);
    std::sort(hullEdges.begin(), hullEdges.end());
    std::vector<uint32_t>().swap(hullPrev);
    std::vector<uint32_t>().swap(hullNext);
    std::vector<uint32_t>().swap(hullTri);
    std::vector<uint32_t>().swap(hullHash);
    return true;
}

bool DelaunayMesh::isHullEdge(uint32_t a, uint32_t b) const
{
    return std::binary_search(hullEdges.begin(), hullEdges.end(), edgeKey(a, b));
}

void DelaunayMesh::toRanks(std::vector<uint32_t>& indices) const
{
    if (ids.empty())
        return;
    std::vector<uint32_t> rank(ids.size());
    for (uint32_t r = 0; r < ids.size(); ++r)
        rank[ids[r]] = r;
    for (uint32_t& i : indices)
        if (i < rank.size())
            i = rank[i];
}

void DelaunayMesh::restoreOrder()
{
    std::vector<uint32_t>().swap(halfedges);
    hullEdges.clear();
    if (ids.empty())
        return;
    // Places of triangles removed by constraint forcing hold none.
    for (uint32_t& v : triangles)
        if (v != none)
            v = ids[v];
    // Written in rank order, the copies land all over the array: the place a few ranks on
    // is fetched for writing while this one is written.
    std::vector<osg::Vec3d> ordered;
    reserveHuge(ordered, ids.size());
    ordered.resize(ids.size());
    const size_t ahead = 16;
    for (size_t r = 0; r < ids.size(); ++r)
    {
        if (r + ahead < ids.size())
            __builtin_prefetch(&ordered[ids[r + ahead]], 1);
        ordered[ids[r]] = points[r];
    }
    points.asVector().swap(ordered);
    std::vector<osg::Vec3d>().swap(ordered);
    std::vector<uint32_t>().swap(ids);
}

void DelaunayMesh::insert(uint32_t p)
{
    const uint32_t key = hashKey(points[p].x(), points[p].y());
    const uint32_t size = static_cast<uint32_t>(hullHash.size());
    uint32_t start = none;
    for (uint32_t j = 0; j < size; ++j)
    {
        const uint32_t slot = key + j;
        const uint32_t s = hullHash[slot >= size ? slot - size : slot];
        if (s != none && hullNext[s] != none)
        {
            start = s;
            break;
        }
    }
    if (start == none)
        start = hullStart;
    start = hullPrev[start];

    // Find a hull edge that p sees strictly; none means p is not outside.
    uint32_t e = start;
    while (orient(p, e, hullNext[e]) >= 0.0)
    {
        e = hullNext[e];
        if (e == start)
        {
            insertInside(p);
            return;
        }
    }

    uint32_t n = hullNext[e];
    uint32_t t = addTriangle(e, p, n);
    link(3 * t + 2, hullTri[e]);
    hullTri[e] = 3 * t;
    hullTri[p] = 3 * t + 1;
    legalize(3 * t + 2);

    for (uint32_t nn = hullNext[n]; orient(p, n, nn) < 0.0; nn = hullNext[n])
    {
        t = addTriangle(n, p, nn);
        link(3 * t, hullTri[p]);
        link(3 * t + 2, hullTri[n]);
        hullTri[p] = 3 * t + 1;
        legalize(3 * t + 2);
        hullNext[n] = none;
        n = nn;
    }
    for (uint32_t pe = hullPrev[e]; orient(p, pe, e) < 0.0; pe = hullPrev[e])
    {
        t = addTriangle(pe, p, e);
        link(3 * t + 1, hullTri[e]);
        link(3 * t + 2, hullTri[pe]);
        hullTri[pe] = 3 * t;
        legalize(3 * t + 2);
        hullNext[e] = none;
        e = pe;
    }

    hullPrev[p] = e;
    hullNext[e] = p;
    hullNext[p] = n;
    hullPrev[n] = p;
    hashVertex(p);
    hashVertex(e);
    hullStart = p;
}

uint32_t DelaunayMesh::locate(uint32_t p) const
{
    // Visibility walk: step across an edge that p lies strictly right of. It ends
    // in a Delaunay triangulation; the step limit only guards against the unforeseen.
    const uint32_t numTriangles = getNumTriangles();
    uint32_t t = hullTri[hullStart] / 3;
    for (uint32_t steps = 0; steps <= numTriangles; ++steps)
    {
        bool moved = false;
        for (uint32_t k = 0; k < 3 && !moved; ++k)
        {
            const uint32_t h = 3 * t + (k + steps) % 3;
            if (orient(triangles[h], triangles[next(h)], p) < 0.0)
            {
                if (halfedges[h] == none)
                    break;
                t = halfedges[h] / 3;
                moved = true;
            }
        }
        if (!moved)
        {
            if (orient(triangles[3 * t], triangles[3 * t + 1], p) >= 0.0 &&
                orient(triangles[3 * t + 1], triangles[3 * t + 2], p) >= 0.0 &&
                orient(triangles[3 * t + 2], triangles[3 * t], p) >= 0.0)
                return t;
            break;
        }
    }
    for (t = 0; t < numTriangles; ++t)
    {
        if (orient(triangles[3 * t], triangles[3 * t + 1], p) >= 0.0 &&
            orient(triangles[3 * t + 1], triangles[3 * t + 2], p) >= 0.0 &&
            orient(triangles[3 * t + 2], triangles[3 * t], p) >= 0.0)
            return t;
    }
    return none;
}

void DelaunayMesh::insertInside(uint32_t p)
{
    const uint32_t t = locate(p);
    if (t == none)
        return;
    uint32_t onEdge = none;
    int zeros = 0;
    for (uint32_t k = 0; k < 3; ++k)
    {
        const uint32_t h = 3 * t + k;
        if (orient(triangles[h], triangles[next(h)], p) == 0.0)
        {
            onEdge = h;
            ++zeros;
        }
    }
    if (zeros == 0)
        splitTriangle(t, p);
    else if (zeros == 1)
        splitEdge(onEdge, p);
    // Two zeros would put p on a vertex, which distinct points rule out.
}

void DelaunayMesh::splitTriangle(uint32_t t, uint32_t p)
{
    const uint32_t a = triangles[3 * t], b = triangles[3 * t + 1], c = triangles[3 * t + 2];
    const uint32_t tab = halfedges[3 * t];
    const uint32_t tbc = halfedges[3 * t + 1], tca = halfedges[3 * t + 2];
    setTriangle(t, a, b, p);
    const uint32_t t1 = addTriangle(b, c, p);
    const uint32_t t2 = addTriangle(c, a, p);
    linkOuter(3 * t, tab);
    linkOuter(3 * t1, tbc);
    linkOuter(3 * t2, tca);
    link(3 * t + 1, 3 * t1 + 2);
    link(3 * t1 + 1, 3 * t2 + 2);
    link(3 * t2 + 1, 3 * t + 2);
    legalize(3 * t);
    legalize(3 * t1);
    legalize(3 * t2);
}

void DelaunayMesh::splitEdge(uint32_t h, uint32_t p)
{
    const uint32_t t = h / 3;
    const uint32_t g = halfedges[h];
    const uint32_t u = triangles[h], v = triangles[next(h)], w = triangles[prev(h)];
    const uint32_t tvw = halfedges[next(h)], twu = halfedges[prev(h)];

    setTriangle(t, p, v, w);
    const uint32_t n1 = addTriangle(p, w, u);
    linkOuter(3 * t + 1, tvw);
    linkOuter(3 * n1 + 1, twu);
    link(3 * t + 2, 3 * n1);

    if (g != none)
    {
        const uint32_t t2 = g / 3;
        const uint32_t x = triangles[prev(g)];
        const uint32_t tux = halfedges[next(g)], txv = halfedges[prev(g)];
        setTriangle(t2, p, u, x);
        const uint32_t n2 = addTriangle(p, x, v);
        linkOuter(3 * t2 + 1, tux);
        linkOuter(3 * n2 + 1, txv);
        link(3 * n1 + 2, 3 * t2);
        link(3 * t2 + 2, 3 * n2);
        link(3 * n2 + 2, 3 * t);
        legalize(3 * t2 + 1);
        legalize(3 * n2 + 1);
    }
    else
    {
        // p splits a hull edge and joins the hull between u and v.
        halfedges[3 * t] = none;
        halfedges[3 * n1 + 2] = none;
        hullTri[p] = 3 * t;
        hullTri[u] = 3 * n1 + 2;
        hullNext[u] = p;
        hullPrev[p] = u;
        hullNext[p] = v;
        hullPrev[v] = p;
    }
    legalize(3 * t + 1);
    legalize(3 * n1 + 1);
}

uint32_t DelaunayMesh::addTriangle(uint32_t a, uint32_t b, uint32_t c)
{
    const uint32_t t = getNumTriangles();
    triangles.push_back(a);
    triangles.push_back(b);
    triangles.push_back(c);
    halfedges.push_back(none);
    halfedges.push_back(none);
    halfedges.push_back(none);
    return t;
}

void DelaunayMesh::setTriangle(uint32_t t, uint32_t a, uint32_t b, uint32_t c)
{
    triangles[3 * t] = a;
    triangles[3 * t + 1] = b;
    triangles[3 * t + 2] = c;
    halfedges[3 * t] = halfedges[3 * t + 1] = halfedges[3 * t + 2] = none;
}

void DelaunayMesh::link(uint32_t h, uint32_t twin)
{
    halfedges[h] = twin;
    if (twin != none)
        halfedges[twin] = h;
}

// Links a half-edge on the outside of a changed region; without a twin it is a hull
// edge, and the hull must learn its new place.
void DelaunayMesh::linkOuter(uint32_t h, uint32_t twin)
{
    halfedges[h] = twin;
    if (twin != none)
        halfedges[twin] = h;
    else
        hullTri[triangles[h]] = h;
}

void DelaunayMesh::legalize(uint32_t start)
{
    // The triangle of `a` is (u, v, w) with w the point just inserted; its twin's
    // triangle is (v, u, x). Flip u-v to w-x while x lies strictly inside the circle
    // of (u, v, w); ties stay, so the flips always end.
    flipStack.push_back(start);
    while (!flipStack.empty())
    {
        const uint32_t a = flipStack.back();
        flipStack.pop_back();
        const uint32_t b = halfedges[a];
        if (b == none)
            continue;
        const uint32_t an = next(a), ap = prev(a), bn = next(b), bp = prev(b);
        const uint32_t u = triangles[a], v = triangles[an], w = triangles[ap];
        const uint32_t x = triangles[bp];
        const osg::Vec3d& pu = points[u];
        const osg::Vec3d& pv = points[v];
        const osg::Vec3d& pw = points[w];
        const osg::Vec3d& px = points[x];
        // x strictly inside the circle and across u-v from w makes u, x, v, w a
        // strictly convex quadrilateral, so the flip needs no further test.
        if (predicates::incircle(pu.x(), pu.y(), pv.x(), pv.y(), pw.x(), pw.y(), px.x(), px.y()) <= 0.0)
            continue;

        const uint32_t outerUX = halfedges[bn], outerVW = halfedges[an];
        triangles[an] = x;
        triangles[bn] = w;
        linkOuter(a, outerUX);
        linkOuter(b, outerVW);
        link(an, bn);
        flipStack.push_back(a);
        flipStack.push_back(bp);
    }
}

} // namespace osgTAVRI
