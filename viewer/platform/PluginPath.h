#pragma once

namespace osgTAVRI
{

// Lets the toolkit find the plugins installed beside the program (Bin/osgPlugins-<version>/):
// puts the program's own folder first in the registry's library path.
void addProgramFolderToPluginPath(const char* argv0);

} // namespace osgTAVRI
