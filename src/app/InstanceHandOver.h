#pragma once

#include <string>

// Where the running application answers another start, and what a start hands over to it. Free
// of Qt: the executable hands over before it loads the application's libraries.
namespace tavlin::app::instanceHandOver {

inline constexpr const char* serviceName = "local.tavlin";
inline constexpr const char* objectPath = "/local/tavlin/Application";
inline constexpr const char* interfaceName = "local.tavlin.Application";

// A URL handed over by the desktop ("tavlin:…") is the one argument that means something; the
// last one counts. Empty when there is none.
inline std::string urlArgument(int argc, char** argv) {
    std::string url;
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]).rfind("tavlin:", 0) == 0) url = argv[i];
    return url;
}

} // namespace tavlin::app::instanceHandOver
