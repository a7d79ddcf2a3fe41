#pragma once

#include <osgViewer/ViewerEventHandlers>

#include <string>

namespace osgTAVRI
{

// The toolkit's sequential screenshot writer, except that it numbers on past the files that are
// already there: in a user's pictures folder a restart must not overwrite yesterday's shots.
class ScreenshotWriter : public osgViewer::ScreenCaptureHandler::WriteToFile
{
public:
    explicit ScreenshotWriter(const std::string& prefix);

    void operator()(const osg::Image& image, const unsigned int context_id) override;

protected:
    // The name the toolkit's writer gives the context's next shot.
    std::string nextFileName(unsigned int context_id) const;
};

} // namespace osgTAVRI
