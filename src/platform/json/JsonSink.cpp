#include "platform/json/JsonSink.h"

#include "platform/json/Decoding.h"

namespace tavlin::json {

void Sink::unencodable() { throw EncodingError({}, "The value has no JSON form."); }

void Sink::value(const Value& value) {
    switch (value.type()) {
    case Value::value_t::null: null(); break;
    case Value::value_t::boolean: boolean(value.get<bool>()); break;
    case Value::value_t::number_integer: integer(value.get<std::int64_t>()); break;
    case Value::value_t::number_unsigned: unsignedInteger(value.get<std::uint64_t>()); break;
    case Value::value_t::number_float: number(value.get<double>()); break;
    case Value::value_t::string: string(value.get_ref<const std::string&>()); break;
    case Value::value_t::array:
        beginArray();
        for (const auto& element : value.get_ref<const Value::array_t&>()) this->value(element);
        endArray();
        break;
    case Value::value_t::object:
        beginObject();
        for (const auto& [name, element] : value.get_ref<const Value::object_t&>()) {
            key(name);
            this->value(element);
        }
        endObject();
        break;
    case Value::value_t::binary:
    case Value::value_t::discarded: unencodable();
    }
}

Value& ValueBuilder::place(Value value) {
    if (open_.empty()) {
        root_ = std::move(value);
        return root_;
    }
    Value& container = *open_.back();
    if (container.is_array()) {
        auto& array = container.get_ref<Value::array_t&>();
        array.push_back(std::move(value));
        return array.back();
    }
    auto& object = container.get_ref<Value::object_t&>();
    for (auto& [name, existing] : object) {
        // As assignment does: a repeated name keeps its place and takes the new value.
        if (name == key_) return existing = std::move(value);
    }
    return object.emplace_back(std::string(key_), std::move(value)).second;
}

void ValueBuilder::beginObject() { open_.push_back(&place(Value::object())); }
void ValueBuilder::endObject() { open_.pop_back(); }
void ValueBuilder::beginArray() { open_.push_back(&place(Value::array())); }
void ValueBuilder::endArray() { open_.pop_back(); }
void ValueBuilder::key(std::string_view name) { key_ = name; }
void ValueBuilder::string(std::string_view text) { place(Value(std::string(text))); }
void ValueBuilder::boolean(bool value) { place(Value(value)); }
void ValueBuilder::integer(std::int64_t value) { place(Value(value)); }
void ValueBuilder::unsignedInteger(std::uint64_t value) { place(Value(value)); }
void ValueBuilder::number(double value) { place(Value(value)); }
void ValueBuilder::null() { place(Value(nullptr)); }
void ValueBuilder::value(const Value& value) { place(value); }

} // namespace tavlin::json
