#include "tin/triangulation/Predicates.h"

#include <algorithm>
#include <cstdlib>

namespace osgTAVRI
{
namespace predicates
{
namespace
{

// Floating-point expansions: a value held exactly as a sum of doubles, ordered by
// increasing magnitude and non-overlapping, with zero components eliminated. The
// sign of an expansion is the sign of its last (largest) component.

// Error-free transformations (Knuth's two-sum, Dekker's split and product).
inline void twoSum(double a, double b, double& x, double& y)
{
    x = a + b;
    const double bv = x - a;
    const double av = x - bv;
    y = (a - av) + (b - bv);
}

inline void twoDiff(double a, double b, double& x, double& y)
{
    x = a - b;
    const double bv = a - x;
    const double av = x + bv;
    y = (a - av) + (bv - b);
}

inline void split(double a, double& hi, double& lo)
{
    const double splitter = 134217729.0; // 2^27 + 1
    const double c = splitter * a;
    const double big = c - a;
    hi = c - big;
    lo = a - hi;
}

inline void twoProduct(double a, double b, double& x, double& y)
{
    x = a * b;
    double ahi, alo, bhi, blo;
    split(a, ahi, alo);
    split(b, bhi, blo);
    const double err1 = x - ahi * bhi;
    const double err2 = err1 - alo * bhi;
    const double err3 = err2 - ahi * blo;
    y = alo * blo - err3;
}

// h = e + f. Merging by magnitude and carrying with two-sum keeps h an expansion.
int sum(int elen, const double* e, int flen, const double* f, double* h)
{
    if (elen == 0)
    {
        std::copy(f, f + flen, h);
        return flen;
    }
    if (flen == 0)
    {
        std::copy(e, e + elen, h);
        return elen;
    }
    // Merge into h first; the carry pass below reads each merged value once before
    // it can be overwritten, since outputs never outrun inputs.
    double merged[2048];
    double* g = (elen + flen <= 2048) ? merged : new double[elen + flen];
    int i = 0, j = 0, k = 0;
    while (i < elen && j < flen)
        g[k++] = (std::fabs(e[i]) < std::fabs(f[j])) ? e[i++] : f[j++];
    while (i < elen)
        g[k++] = e[i++];
    while (j < flen)
        g[k++] = f[j++];
    double q = g[0];
    int hlen = 0;
    for (int m = 1; m < k; ++m)
    {
        double qNew, hh;
        twoSum(q, g[m], qNew, hh);
        q = qNew;
        if (hh != 0.0)
            h[hlen++] = hh;
    }
    if (q != 0.0 || hlen == 0)
        h[hlen++] = q;
    if (g != merged)
        delete[] g;
    return hlen;
}

// h = e * b
int scale(int elen, const double* e, double b, double* h)
{
    if (elen == 0)
        return 0;
    double q, hh;
    int hlen = 0;
    twoProduct(e[0], b, q, hh);
    if (hh != 0.0)
        h[hlen++] = hh;
    for (int i = 1; i < elen; ++i)
    {
        double p1, p0, s;
        twoProduct(e[i], b, p1, p0);
        twoSum(q, p0, s, hh);
        if (hh != 0.0)
            h[hlen++] = hh;
        twoSum(p1, s, q, hh);
        if (hh != 0.0)
            h[hlen++] = hh;
    }
    if (q != 0.0 || hlen == 0)
        h[hlen++] = q;
    return hlen;
}

// h = e * f for elen <= 16 and 2 * elen * flen <= 1024; h holds 2 * elen * flen values.
int product(int elen, const double* e, int flen, const double* f, double* h)
{
    int hlen = 0;
    double part[64];
    double acc[1024];
    for (int j = 0; j < flen; ++j)
    {
        const int plen = scale(elen, e, f[j], part);
        const int newLen = sum(hlen, h, plen, part, acc);
        std::copy(acc, acc + newLen, h);
        hlen = newLen;
    }
    return hlen;
}

int negate(int elen, double* e)
{
    for (int i = 0; i < elen; ++i)
        e[i] = -e[i];
    return elen;
}

// The exact difference a - b as an expansion of one or two components.
int difference(double a, double b, double* h)
{
    double x, y;
    twoDiff(a, b, x, y);
    int len = 0;
    if (y != 0.0)
        h[len++] = y;
    if (x != 0.0 || len == 0)
        h[len++] = x;
    return len;
}

// ad * be - ae * bd for two-component differences; h holds up to 16 values.
int cross(int adlen, const double* ad, int aelen, const double* ae, int bdlen,
          const double* bd, int belen, const double* be, double* h)
{
    double left[8], right[8];
    const int llen = product(adlen, ad, belen, be, left);
    const int rlen = negate(product(aelen, ae, bdlen, bd, right), right);
    return sum(llen, left, rlen, right, h);
}

double last(int len, const double* e)
{
    return e[len - 1];
}

// Plain double operations that remember whether any of them rounded. Exact grids
// and centimetre lidar data near the origin often evaluate without rounding, and
// then the double result is the exact one at a fraction of the expansions' cost.
class ExactCheck
{
public:
    double sub(double a, double b)
    {
        double x, y;
        twoDiff(a, b, x, y);
        exact = exact && y == 0.0;
        return x;
    }
    double add(double a, double b)
    {
        double x, y;
        twoSum(a, b, x, y);
        exact = exact && y == 0.0;
        return x;
    }
    double mul(double a, double b)
    {
        double x, y;
        twoProduct(a, b, x, y);
        exact = exact && y == 0.0;
        return x;
    }
    bool exact = true;
};

} // namespace

double orient2dExact(double ax, double ay, double bx, double by, double cx, double cy)
{
    ExactCheck e;
    const double plain = e.sub(e.mul(e.sub(ax, cx), e.sub(by, cy)), e.mul(e.sub(ay, cy), e.sub(bx, cx)));
    if (e.exact)
        return plain;

    double acx[2], acy[2], bcx[2], bcy[2], det[16];
    const int acxl = difference(ax, cx, acx), acyl = difference(ay, cy, acy);
    const int bcxl = difference(bx, cx, bcx), bcyl = difference(by, cy, bcy);
    // (ax - cx)(by - cy) - (ay - cy)(bx - cx)
    const int len = cross(acxl, acx, acyl, acy, bcxl, bcx, bcyl, bcy, det);
    return last(len, det);
}

double incircleExact(double ax, double ay, double bx, double by, double cx, double cy,
                     double dx, double dy)
{
    {
        ExactCheck e;
        const double adx = e.sub(ax, dx), ady = e.sub(ay, dy);
        const double bdx = e.sub(bx, dx), bdy = e.sub(by, dy);
        const double cdx = e.sub(cx, dx), cdy = e.sub(cy, dy);
        const double alift = e.add(e.mul(adx, adx), e.mul(ady, ady));
        const double blift = e.add(e.mul(bdx, bdx), e.mul(bdy, bdy));
        const double clift = e.add(e.mul(cdx, cdx), e.mul(cdy, cdy));
        const double bc = e.sub(e.mul(bdx, cdy), e.mul(cdx, bdy));
        const double ca = e.sub(e.mul(cdx, ady), e.mul(adx, cdy));
        const double ab = e.sub(e.mul(adx, bdy), e.mul(bdx, ady));
        const double plain = e.add(e.add(e.mul(alift, bc), e.mul(blift, ca)), e.mul(clift, ab));
        if (e.exact)
            return plain;
    }

    double adx[2], ady[2], bdx[2], bdy[2], cdx[2], cdy[2];
    const int adxl = difference(ax, dx, adx), adyl = difference(ay, dy, ady);
    const int bdxl = difference(bx, dx, bdx), bdyl = difference(by, dy, bdy);
    const int cdxl = difference(cx, dx, cdx), cdyl = difference(cy, dy, cdy);

    // lift(p) * (q x r) for (p, q, r) = (a, b, c), (b, c, a), (c, a, b)
    auto term = [](int pxl, const double* px, int pyl, const double* py, int qxl,
                   const double* qx, int qyl, const double* qy, int rxl, const double* rx,
                   int ryl, const double* ry, double* out) {
        double xx[8], yy[8], lift[16], qr[16];
        const int xxl = product(pxl, px, pxl, px, xx);
        const int yyl = product(pyl, py, pyl, py, yy);
        const int liftl = sum(xxl, xx, yyl, yy, lift);
        const int qrl = cross(qxl, qx, qyl, qy, rxl, rx, ryl, ry, qr);
        return product(liftl, lift, qrl, qr, out);
    };
    double ta[512], tb[512], tc[512], tab[1024], det[1536];
    const int tal = term(adxl, adx, adyl, ady, bdxl, bdx, bdyl, bdy, cdxl, cdx, cdyl, cdy, ta);
    const int tbl = term(bdxl, bdx, bdyl, bdy, cdxl, cdx, cdyl, cdy, adxl, adx, adyl, ady, tb);
    const int tcl = term(cdxl, cdx, cdyl, cdy, adxl, adx, adyl, ady, bdxl, bdx, bdyl, bdy, tc);
    const int tabl = sum(tal, ta, tbl, tb, tab);
    const int len = sum(tabl, tab, tcl, tc, det);
    return last(len, det);
}

} // namespace predicates
} // namespace osgTAVRI
