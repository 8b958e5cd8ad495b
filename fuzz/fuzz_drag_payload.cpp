// Reads arbitrary bytes as the payloads other programs may drop on the tree editor, and checks
// that each one that reads survives being written and read again with its identifier.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "configwindow/core/DragPayload.h"
#include "platform/base/Diagnostics.h"
#include "platform/json/Decoding.h"

namespace {

using namespace tavlin;

// Input that does not read is fine; any other failure, or a payload that changes on its way
// through a write and a read, stops the run.
template <typename Read, typename Write>
void check(std::string_view data, std::string_view type, Read read, Write write) {
    std::string written;
    try {
        written = write(read(data, type), type);
    } catch (const DecodingError&) {
        return;
    } catch (const DragPayload::TooLargeError&) {
        return;
    }
    const std::string again = write(read(written, type), type);
    // Numbers count by value: negative zero is written "-0" and comes back as zero.
    if (json::parse(again) != json::parse(written)) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    static const auto quiet = diag::setSink([](std::string_view) {});
    (void)quiet;
    const std::string_view data(reinterpret_cast<const char*>(bytes), size);
    check(data, DragPayload::actionType, DragPayload::readAction, DragPayload::writeAction);
    check(data, DragPayload::chanceType, DragPayload::readChance,
          [](const ChancePtr& chance, std::string_view type) { return DragPayload::writeChance(*chance, type); });
    return 0;
}
