#include "platform/Json.h"

#include <charconv>
#include <cmath>

#include "platform/Decoding.h"
#include "platform/Unicode.h"

namespace tavlin::json {
namespace {

void appendEscaped(std::string& out, std::string_view raw) {
    const std::string valid = unicode::makeValidUtf8(raw);
    out.push_back('"');
    for (const char c : valid) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '/': out += "\\/"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                static constexpr char hex[] = "0123456789abcdef";
                out += "\\u00";
                out.push_back(hex[(c >> 4) & 0xF]);
                out.push_back(hex[c & 0xF]);
            } else {
                out.push_back(c);
            }
        }
    }
    out.push_back('"');
}

void appendNumber(std::string& out, double number, const CodingPath& path) {
    if (!std::isfinite(number)) {
        throw EncodingError(path, "Unable to encode " + std::string(std::isnan(number) ? "NaN" : "an infinite number") +
                                      " directly in JSON.");
    }
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
    out.append(buffer, result.ptr);
}

class Writer {
public:
    explicit Writer(Style style) : pretty_(style == Style::pretty) {}

    void write(const Value& value, CodingPath& path) {
        switch (value.type()) {
        case Value::value_t::null: out_ += "null"; break;
        case Value::value_t::boolean: out_ += value.get<bool>() ? "true" : "false"; break;
        case Value::value_t::number_integer: out_ += std::to_string(value.get<std::int64_t>()); break;
        case Value::value_t::number_unsigned: out_ += std::to_string(value.get<std::uint64_t>()); break;
        case Value::value_t::number_float: appendNumber(out_, value.get<double>(), path); break;
        case Value::value_t::string: appendEscaped(out_, value.get_ref<const std::string&>()); break;
        case Value::value_t::array: writeArray(value, path); break;
        case Value::value_t::object: writeObject(value, path); break;
        case Value::value_t::binary:
        case Value::value_t::discarded: throw EncodingError(path, "The value has no JSON form.");
        }
    }

    std::string take() { return std::move(out_); }

private:
    void newline() {
        if (!pretty_) return;
        out_.push_back('\n');
        out_.append(static_cast<std::size_t>(depth_) * 2, ' ');
    }

    void writeArray(const Value& array, CodingPath& path) {
        if (array.empty()) {
            out_ += "[]";
            return;
        }
        out_.push_back('[');
        ++depth_;
        int index = 0;
        for (const auto& element : array) {
            if (index > 0) out_.push_back(',');
            newline();
            path.push_back(CodingKey::index(index++));
            write(element, path);
            path.pop_back();
        }
        --depth_;
        newline();
        out_.push_back(']');
    }

    void writeObject(const Value& object, CodingPath& path) {
        if (object.empty()) {
            out_ += "{}";
            return;
        }
        out_.push_back('{');
        ++depth_;
        bool first = true;
        for (const auto& [key, element] : object.items()) {
            if (!first) out_.push_back(',');
            first = false;
            newline();
            appendEscaped(out_, key);
            out_ += pretty_ ? " : " : ":";
            path.push_back(CodingKey::member(key));
            write(element, path);
            path.pop_back();
        }
        --depth_;
        newline();
        out_.push_back('}');
    }

    bool pretty_;
    int depth_ = 0;
    std::string out_;
};

// Counts bracket nesting outside strings, so that a hostile document is refused in linear time
// before anything recursive walks it.
bool nestsTooDeep(std::string_view text) {
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (const char c : text) {
        if (inString) {
            if (escaped) escaped = false;
            else if (c == '\\') escaped = true;
            else if (c == '"') inString = false;
            continue;
        }
        if (c == '"') inString = true;
        else if (c == '[' || c == '{') {
            if (++depth > maximumNestingDepth) return true;
        } else if (c == ']' || c == '}') --depth;
    }
    return false;
}

} // namespace

std::string encode(const Value& value, Style style) {
    Writer writer(style);
    CodingPath path;
    writer.write(value, path);
    return writer.take();
}

Value parse(std::string_view text) {
    if (nestsTooDeep(text)) {
        throw DecodingError::dataCorrupted({}, "The given data was not valid JSON: nesting is deeper than " +
                                                   std::to_string(maximumNestingDepth) + " levels.");
    }
    try {
        return Value::parse(text.begin(), text.end());
    } catch (const nlohmann::json::exception& error) {
        throw DecodingError::dataCorrupted({}, std::string("The given data was not valid JSON: ") + error.what());
    }
}

} // namespace tavlin::json
