#pragma once

namespace osg
{
class FrameStamp;
}

namespace osgTAVRI
{

// Whether frames are slow: true once frames have taken longer than `slowFrame` on average,
// false again once they take less than half of it. Judged over `framesJudged` frames, so a
// single slow frame changes nothing. What is drawn at reduced size on slow frames asks it.
class FrameSpeed
{
public:
    static constexpr double slowFrame = 1.0 / 20.0;
    static const unsigned int framesJudged = 10;

    // Takes the frame in; once per frame is enough, more often changes nothing.
    void judge(const osg::FrameStamp& stamp);
    bool isSlow() const { return slow; }

private:
    bool slow = false;
    unsigned int judgedFrom = 0;
    double judgedSince = -1.0;
};

} // namespace osgTAVRI
