#pragma once

#include <stdexcept>
#include <string>

namespace osgTAVRI
{

// A LAS file that cannot be read: compressed, damaged or truncated. The message
// carries its context ("LasReader: a.las: header truncated") and is one line.
class LasError : public std::runtime_error
{
public:
    explicit LasError(const std::string& message) : std::runtime_error(message) {}
};

} // namespace osgTAVRI
