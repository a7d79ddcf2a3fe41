#pragma once

#include <string>

namespace osgTAVRI
{

// The one place that says where recorded flights go: "../Content/Paths" beside the program's
// folder. An installation that cannot write there redirects it here, and only here.
std::string recordingFolder();

// A new file name in the folder for a recording made now: "<date>_<time>.path" in local time,
// with "_2", "_3" ... added when a recording of the same second is already there.
std::string newRecordingPath();

// The most recently written flight in the folder, or empty when there is none.
std::string newestRecording();

} // namespace osgTAVRI
