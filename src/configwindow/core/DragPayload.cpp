#include "configwindow/core/DragPayload.h"

#include <exception>

#include "platform/base/Diagnostics.h"
#include "platform/json/Decoding.h"
#include "platform/json/JsonSink.h"

namespace tavlin::DragPayload {
namespace {

constexpr std::string_view actionKey = "_action";
constexpr std::string_view chanceKey = "_chance";
constexpr std::string_view idKey = "_id";

void requireType(std::string_view given, std::string_view expected) {
    if (given == expected) return;
    diag::printLine(diag::Category::editor, "");
    throw TypeMismatchError();
}

template <typename WriteItem>
std::string write(std::string_view itemKey, const Uuid& id, WriteItem&& writeItem) {
    return json::encodeFrom([&](json::Sink& sink) {
        sink.beginObject();
        sink.key(itemKey);
        writeItem(sink);
        sink.member(idKey, id.string());
        sink.endObject();
    });
}

template <typename ReadItem>
auto read(std::string_view data, std::string_view itemKey, ReadItem&& readItem) {
    if (data.size() > maximumSize) throw TooLargeError();
    return decodeJson(data, [&](const JsonReader& reader) {
        reader.requireObject("Payload");
        const JsonReader idReader = reader.member(idKey, "UUID");
        const auto id = Uuid::fromString(idReader.string());
        if (!id) throw DecodingError::dataCorrupted(idReader.codingPath(), "Attempted to decode UUID from invalid UUID string.");
        return readItem(reader.member(itemKey), *id);
    });
}

std::string reasonOf(const std::exception& error) {
    if (const auto* decoding = dynamic_cast<const DecodingError*>(&error)) return decoding->localizedDescription();
    return error.what();
}

template <typename Item>
bool load(const DataForType& dataForType, std::string_view type, Item (*reader)(std::string_view, std::string_view),
          const std::function<void(Item)>& handler) {
    std::optional<std::string> data;
    try {
        if (dataForType) data = dataForType(type);
    } catch (const TooLargeError& error) {
        diag::printLine(diag::Category::editor, error.what());
        return true;
    } catch (const StalledError& error) {
        diag::printLine(diag::Category::editor, error.what());
        return true;
    }
    if (!data) {
        diag::printLine(diag::Category::editor, "");
        return false;
    }
    std::optional<Item> item;
    try {
        item.emplace(reader(*data, type));
    } catch (const TypeMismatchError&) {
        return true; // the reader has printed its line
    } catch (const std::exception& error) {
        diag::printLine(diag::Category::editor, reasonOf(error));
        return true;
    }
    if (handler) handler(std::move(*item));
    return true;
}

} // namespace

TypeMismatchError::TypeMismatchError() : std::runtime_error("The data is not of the requested type.") {}
TooLargeError::TooLargeError() : std::runtime_error("The dragged data is too large.") {}
StalledError::StalledError()
    : std::runtime_error("The dragged data did not arrive: the program it was dragged from stopped handing it over.") {}

std::string writeAction(const Action& action, std::string_view typeIdentifier) {
    requireType(typeIdentifier, actionType);
    return write(actionKey, action.id, [&](json::Sink& sink) { action.writeJson(sink); });
}

std::string writeChance(const Chance& chance, std::string_view typeIdentifier) {
    requireType(typeIdentifier, chanceType);
    return write(chanceKey, chance.id, [&](json::Sink& sink) { chance.writeJson(sink); });
}

Action readAction(std::string_view data, std::string_view typeIdentifier) {
    requireType(typeIdentifier, actionType);
    return read(data, actionKey, [](const JsonReader& reader, const Uuid& id) {
        Action decoded = Action::fromJson(reader);
        Action action(std::move(decoded.kind), std::move(decoded.actionDescription));
        action.id = id;
        return action;
    });
}

ChancePtr readChance(std::string_view data, std::string_view typeIdentifier) {
    requireType(typeIdentifier, chanceType);
    return read(data, chanceKey, [](const JsonReader& reader, const Uuid& id) {
        const ChancePtr decoded = Chance::fromJson(reader);
        return std::make_shared<Chance>(id, decoded->pattern, decoded->decision);
    });
}

bool loadAction(const DataForType& dataForType, const std::function<void(Action)>& handler) {
    return load<Action>(dataForType, actionType, &readAction, handler);
}

bool loadChance(const DataForType& dataForType, const std::function<void(ChancePtr)>& handler) {
    return load<ChancePtr>(dataForType, chanceType, &readChance, handler);
}

} // namespace tavlin::DragPayload
