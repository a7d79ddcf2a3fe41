#pragma once

#include <osg/Vec2d>

// The demo's landscape, shared by the generators of its laser scan, its orthophoto and its
// power line, so that all three show the same place. Local coordinates run 0..areaSize from
// the south-west corner (originX, originY).
namespace DemoArea
{

const double originX = 100000.0, originY = 6400000.0, areaSize = 2000.0;
const double railY = 1400.0;  // east-west railway, local y
const double railTop = 3.0;   // half width of the embankment's crown
const double sideSlope = 1.5; // horizontal per vertical on its sides
const double gauge = 1.435;   // between the rails
// SWEREF 99 TM, the national grid the demo pretends to be in.
const int epsg = 3006;

// The power line's route: two straight legs between the forest patches of the scan, across
// the valley and the railway.
const osg::Vec2d powerLineRoute[3] = {{100.0, 1000.0}, {900.0, 1100.0}, {1800.0, 1900.0}};

double smoothstep(double t);

// Ground height at local (x, y): rolling hills cut by a valley whose southern end lies below
// sea level, and the railway's embankment and cuttings.
double ground(double x, double y);

// How far inside a forest patch (x, y) at ground height z lies: 0 outside, rising to 1.
double forest(double x, double y, double z);

// Height of the canopy above the ground inside a forest patch.
double canopy(double x, double y, double inside);

// Distance from (x, y) to the power line's route.
double fromPowerLine(double x, double y);

} // namespace DemoArea
