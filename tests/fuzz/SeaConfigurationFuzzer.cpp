#include "tests/fuzz/FuzzSupport.h"
#include "tests/fuzz/QuietSea.h"

#include "Sea/Configuration.h"
#include "Sea/MessageChannel.h"

#include <stdexcept>

const std::size_t tavrifuzz::maxInputLength = 2048;

void tavrifuzz::writeSeeds(Seeds& seeds)
{
    const std::string shipped = Seeds::readFile(std::string(TAVRI_SOURCE_DIR) + "/ocean/data/Sea.config");
    if (shipped.empty())
        throw std::runtime_error("the shipped Sea.config is missing");
    seeds.add("shipped.config", shipped);
    std::string crlf;
    for (char c : shipped)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    seeds.add("shipped-crlf.config", crlf);
    seeds.add("edges.config", "# comment = 1\n=5\nkey=\n a b = c d \nx==y\nz=1=2\n\tfft-grid-size\t=\t64\n"
                              "default-grid-resolution = 99999999999\nwind = 1e400\nname = \xe5\xe4\xf6\n" +
                                  std::string(1500, 'k') + "=1\nlast = yes");
}

// The bytes are the library's configuration file. The loader hands the parser the file's text
// with a zero byte after it, so the text ends at the first zero byte.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    tavrifuzz::quietSea();
    Sea::Configuration::Clear();
    Sea::Configuration::Parse(tavrifuzz::bytesOf(data, size).c_str());
    int resolution = 0;
    float fog = 0.0f;
    double wind = 0.0;
    bool debug = false;
    const char* prefix = nullptr;
    Sea::Configuration::GetIntValue("default-grid-resolution", resolution);
    Sea::Configuration::GetFloatValue("default-fog-color-above-r", fog);
    Sea::Configuration::GetDoubleValue("fft-wind-speed", wind);
    Sea::Configuration::GetBoolValue("enable-debug-messages", debug);
    Sea::Configuration::GetStringValue("shader-filename-prefix", prefix);
    // The message channel takes its own settings from the table.
    Sea::MessageChannel::Log("fuzz");
    return 0;
}
