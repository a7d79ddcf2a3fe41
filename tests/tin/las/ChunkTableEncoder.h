#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lazt
{

// The writer's side of a chunk table, for tests that need tables the test files lack: chunk
// sizes (and point counts, for chunks of varying size) as differences from the entry before,
// arithmetic-coded, behind the table's version and chunk count.
std::string encodeChunkTable(const std::vector<std::uint32_t>& sizes, const std::vector<std::uint32_t>& counts);

} // namespace lazt
