#pragma once

#include <osg/Geode>

#include <string>

// The building blocks of the demo's power line, an H-frame pylon of two wooden masts: each
// block is modelled in its own frame, Z up, with its origin where the pylon list places it.
namespace demo
{

const double mastHeight = 20.0;     // a mast stands from z = 0 up to here
const double mastSpacing = 6.0;     // between the two masts of a pylon
const double armHalfLength = 7.0;   // the cross-arm runs along X, centred on its origin
const double insulatorLength = 1.8; // an insulator string hangs from its origin down -Z

// "Mast", "CrossArm", "Insulator" and "Stay" (unit length along -Z, to be stretched).
osg::ref_ptr<osg::Geode> makeBlock(const std::string& name);
extern const char* const blockNames[4];

} // namespace demo
