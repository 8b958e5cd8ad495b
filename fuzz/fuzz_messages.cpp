// Reads arbitrary text as each of the small stored values (an awaited outcome, a leader key, an
// action) and checks that each one that decodes survives the save/reload round trip.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "RoundTrip.h"
#include "model/Action.h"
#include "model/ActionOutcome.h"
#include "model/LeaderKey.h"

namespace {

using namespace tavlin;

template <typename T>
void checkValue(std::string_view text) {
    fuzz::checkRoundTrip(
        text, [](const JsonReader& reader) { return T::fromJson(reader); }, [](const T& value) { return value.toJson(); });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    checkValue<ActionOutcome>(text);
    checkValue<LeaderKey>(text);
    checkValue<Action>(text);
    return 0;
}
