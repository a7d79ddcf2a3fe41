#pragma once

#include "tests/fuzz/FuzzSupport.h"

#include <string>

namespace tavrifuzz
{

// The password both zip targets give the archives they read; the encrypted seeds use it.
const char* const zipPassword = "mossrock";

// Archives as users send them: a model with its image, plain, with either encryption, and
// with the small models of the shared data folder.
void writeZipSeeds(Seeds& seeds);

} // namespace tavrifuzz
