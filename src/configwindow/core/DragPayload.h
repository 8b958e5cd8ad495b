#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "model/Decision.h"

namespace tavlin {

// What a dragged action or chance carries between rows, and between programs: one JSON document
// under a format of our own. The document names the dragged item by identifier, which the drop
// side needs to find and move it; a chance's own JSON holds none.
namespace DragPayload {

inline constexpr std::string_view actionType = "local.tavlin.uttypes.action";
inline constexpr std::string_view chanceType = "local.tavlin.uttypes.chance";

// Any X client can offer our formats; a larger document is refused before it is parsed.
inline constexpr std::size_t maximumSize = std::size_t{64} << 20;

// The data was asked for, or handed over, under the other format.
class TypeMismatchError : public std::runtime_error {
public:
    TypeMismatchError();
};

// The document is larger than maximumSize.
class TooLargeError : public std::runtime_error {
public:
    TooLargeError();
};

// The program the data was dragged from did not hand it over in time.
class StalledError : public std::runtime_error {
public:
    StalledError();
};

// The pretty JSON {"_action": ..., "_id": ...} for `typeIdentifier`. Under any other format: one
// empty line printed, then TypeMismatchError. Encoding errors pass through.
std::string writeAction(const Action& action, std::string_view typeIdentifier);
std::string writeChance(const Chance& chance, std::string_view typeIdentifier);

// The item read from such a document: its identifier is "_id", whatever the item's own JSON says;
// a chance comes with a tree of its own, sharing nothing with the dragged one. A foreign format
// prints one empty line and throws TypeMismatchError; a bad document throws DecodingError or
// TooLargeError.
Action readAction(std::string_view data, std::string_view typeIdentifier);
ChancePtr readChance(std::string_view data, std::string_view typeIdentifier);

// The data a drop holds under a format, or nothing; throws TooLargeError or StalledError for data
// it refused.
using DataForType = std::function<std::optional<std::string>(std::string_view typeIdentifier)>;

// The drop loaders. Without data of the format: one empty line, false. Otherwise true, and the
// item read is handed to `handler`; when it cannot be read or was refused, the reason is printed
// as one line and `handler` is not called.
bool loadAction(const DataForType& dataForType, const std::function<void(Action)>& handler);
bool loadChance(const DataForType& dataForType, const std::function<void(ChancePtr)>& handler);

} // namespace DragPayload
} // namespace tavlin
