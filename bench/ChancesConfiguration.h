#pragma once

#include <string>

namespace tavlin::bench {

// A tree configuration under Control+option+T with `chances` one-key chances, each opening its
// own URL: the text the start-up benchmarks write before starting the program.
inline std::string configurationWithChances(int chances) {
    std::string text = R"({"hotKeys": [{"combo": {"info": {"keyCode": 17, "modifiersCode": 6144}}}],)"
                       "\n\"decision\": {\"actions\": [], \"chances\": [\n";
    for (int i = 0; i < chances; ++i) {
        if (i > 0) text += ",\n";
        text += R"(  {"pattern": {"key": {"allowedKeyCodes": [)" + std::to_string(i % 50) +
                R"(]}}, "decision": {"actions": [{"openURL": {"url": "https://example.com/)" + std::to_string(i) +
                R"("}}], "chances": []}})";
    }
    return text + "\n]}}\n";
}

} // namespace tavlin::bench
