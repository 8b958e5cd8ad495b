// Feeds arbitrary text to the configuration file's decoder and checks the save/reload round trip.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "RoundTrip.h"
#include "model/Decision.h"
#include "model/HotKey.h"

namespace {

using namespace tavlin;

// Mirrors the configuration file's shape: an optional author note, the hot keys and the tree.
struct Document {
    std::optional<std::string> authorInfo;
    std::vector<HotKey> hotKeys;
    DecisionPtr decision;
};

Document decodeDocument(const JsonReader& reader) {
    reader.requireObject("Configuration");
    Document document;
    document.authorInfo = reader.optionalStringMember("authorInfo");
    for (const auto& element : reader.member("hotKeys", "Array").elements()) {
        document.hotKeys.push_back(HotKey::fromJson(element));
    }
    document.decision = Decision::fromJson(reader.member("decision", "Decision"));
    return document;
}

json::Value encodeDocument(const Document& document) {
    json::Value value = json::Value::object();
    if (document.authorInfo) value["authorInfo"] = *document.authorInfo;
    json::Value hotKeys = json::Value::array();
    for (const auto& hotKey : document.hotKeys) hotKeys.push_back(hotKey.toJson());
    value["hotKeys"] = std::move(hotKeys);
    value["decision"] = document.decision->toJson();
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    fuzz::checkRoundTrip(text, decodeDocument, encodeDocument);
    return 0;
}
