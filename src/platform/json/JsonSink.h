#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/json/Json.h"

namespace tavlin::json {

// Receives one JSON value as events in document order. The model writes itself through a sink,
// so the same code builds a Value or writes text directly, without a Value in between.
class Sink {
public:
    virtual ~Sink() = default;

    virtual void beginObject() = 0;
    virtual void endObject() = 0;
    virtual void beginArray() = 0;
    virtual void endArray() = 0;
    // Names the next member of the open object. The name must stay valid until that member's
    // value is complete (the text writer names it in errors).
    virtual void key(std::string_view name) = 0;

    virtual void string(std::string_view text) = 0;
    virtual void boolean(bool value) = 0;
    virtual void integer(std::int64_t value) = 0;
    virtual void unsignedInteger(std::uint64_t value) = 0;
    virtual void number(double value) = 0;
    virtual void null() = 0;
    // A whole value; by default its events one by one.
    virtual void value(const Value& value);

    // One member with a text or an object value.
    void member(std::string_view name, std::string_view text) {
        key(name);
        string(text);
    }
    void beginObject(std::string_view name) {
        key(name);
        beginObject();
    }

protected:
    // A value that has no JSON text (binary data) was sent. Throws EncodingError.
    [[noreturn]] virtual void unencodable();
};

// Builds the Value that a sequence of events describes, exactly as assigning members in that
// order would: numbers keep their kind (signed, unsigned, floating). Names are copied when their
// value begins, so a name need only live until then.
// NOLINTNEXTLINE(bugprone-exception-escape): its implicit members only move and destroy values.
class ValueBuilder final : public Sink {
public:
    void beginObject() override;
    void endObject() override;
    void beginArray() override;
    void endArray() override;
    void key(std::string_view name) override;
    void string(std::string_view text) override;
    void boolean(bool value) override;
    void integer(std::int64_t value) override;
    void unsignedInteger(std::uint64_t value) override;
    void number(double value) override;
    void null() override;
    void value(const Value& value) override;
    using Sink::beginObject;

    Value take() { return std::move(root_); }

private:
    Value& place(Value value);

    Value root_;
    std::vector<Value*> open_;
    std::string_view key_;
};

} // namespace tavlin::json
