#pragma once

#include <string>
#include <string_view>

#include "platform/json/Decoding.h"
#include "platform/json/Json.h"

namespace tavlin::fuzz {

// Whatever decodes must survive a save and a reload: the saved text decodes again and saves to
// the same document. `decode` takes a JsonReader; `encode` gives the stored JSON value of what
// it decoded. Input that does not decode (DecodingError) is fine; any other failure stops the run.
template <typename Decode, typename Encode>
void checkRoundTrip(std::string_view text, Decode decode, Encode encode) {
    std::string saved;
    try {
        saved = json::encode(encode(decodeJson(text, decode)));
    } catch (const DecodingError&) {
        return;
    }
    std::string savedAgain;
    try {
        savedAgain = json::encode(encode(decodeJson(saved, decode)));
    } catch (const DecodingError&) {
        __builtin_trap(); // the saved text does not read back
    }
    if (savedAgain == saved) return;
    // Numbers count by value: negative zero is saved as "-0", reads back as zero and is then
    // saved as "0"; the model holds the two as equal.
    if (json::parse(savedAgain) != json::parse(saved)) __builtin_trap(); // a reload changed the document
}

} // namespace tavlin::fuzz
