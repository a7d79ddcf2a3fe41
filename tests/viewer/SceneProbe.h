#pragma once

#include "tests/viewer/ViewerHarness.h"

#include <osg/BoundingSphere>
#include <osg/Image>

#include <string>

// Helpers for tests that look at models in the running viewer.
namespace tavritest
{

// A configuration with a small window and nothing else.
std::string smallWindowConfiguration();

// Puts the camera where it sees the whole sphere, looking at its centre from above the south-east.
void lookAt(ViewerHarness& h, const osg::BoundingSphere& sphere);

// How many pixels differ between two frames of the same size by more than `threshold` in a channel.
int differingPixels(const osg::Image& a, const osg::Image& b, int threshold = 24);

void pauseBriefly();

// Steps frames until `done` holds (at most `maxFrames`), sleeping a little between them.
template <class Predicate>
bool frameUntil(ViewerHarness& h, Predicate done, int maxFrames = 2000)
{
    for (int i = 0; i < maxFrames; ++i)
    {
        if (done())
            return true;
        h.frame();
        pauseBriefly();
    }
    return done();
}

} // namespace tavritest
