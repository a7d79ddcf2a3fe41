#pragma once

#include <string>

namespace osgTAVRI
{

// The folder of the running executable itself, wherever it was started from and however it
// was named; "" when the system cannot say.
std::string programFolder();

} // namespace osgTAVRI
