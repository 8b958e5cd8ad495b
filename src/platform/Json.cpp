#include "platform/Json.h"

#include <charconv>
#include <cmath>

#include "platform/Decoding.h"
#include "platform/Utf8.h"

namespace tavlin::json {
namespace {

void appendEscaped(std::string& out, std::string_view raw) {
    // Well-formed text (nearly all of it) is escaped in place; only ill-formed text is copied.
    std::string repaired;
    std::string_view text = raw;
    if (!utf8::isValid(raw)) {
        repaired = utf8::makeValid(raw);
        text = repaired;
    }
    out.push_back('"');
    std::size_t pending = 0; // start of the run of characters that need no escape
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const char* escape = nullptr;
        switch (c) {
        case '"': escape = "\\\""; break;
        case '\\': escape = "\\\\"; break;
        case '/': escape = "\\/"; break;
        case '\b': escape = "\\b"; break;
        case '\f': escape = "\\f"; break;
        case '\n': escape = "\\n"; break;
        case '\r': escape = "\\r"; break;
        case '\t': escape = "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) >= 0x20) continue;
        }
        out.append(text.data() + pending, i - pending);
        pending = i + 1;
        if (escape) {
            out += escape;
        } else {
            static constexpr char hex[] = "0123456789abcdef";
            out += "\\u00";
            out.push_back(hex[(c >> 4) & 0xF]);
            out.push_back(hex[c & 0xF]);
        }
    }
    out.append(text.data() + pending, text.size() - pending);
    out.push_back('"');
}

void appendNumber(std::string& out, double number) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
    out.append(buffer, result.ptr);
}

class Writer {
public:
    explicit Writer(Style style) : pretty_(style == Style::pretty) {}

    void write(const Value& value) {
        switch (value.type()) {
        case Value::value_t::null: out_ += "null"; break;
        case Value::value_t::boolean: out_ += value.get<bool>() ? "true" : "false"; break;
        case Value::value_t::number_integer: out_ += std::to_string(value.get<std::int64_t>()); break;
        case Value::value_t::number_unsigned: out_ += std::to_string(value.get<std::uint64_t>()); break;
        case Value::value_t::number_float: {
            const double number = value.get<double>();
            if (!std::isfinite(number)) {
                throw EncodingError(codingPath(), "Unable to encode " +
                                                      std::string(std::isnan(number) ? "NaN" : "an infinite number") +
                                                      " directly in JSON.");
            }
            appendNumber(out_, number);
            break;
        }
        case Value::value_t::string: appendEscaped(out_, value.get_ref<const std::string&>()); break;
        case Value::value_t::array: writeArray(value); break;
        case Value::value_t::object: writeObject(value); break;
        case Value::value_t::binary:
        case Value::value_t::discarded: throw EncodingError(codingPath(), "The value has no JSON form.");
        }
    }

    std::string take() { return std::move(out_); }

private:
    // The path is only spelled out for an error, so the walk keeps just a pointer or an index per level.
    struct Step {
        const std::string* member; // null for an array element
        int index;
    };

    CodingPath codingPath() const {
        CodingPath path;
        path.reserve(steps_.size());
        for (const auto& step : steps_) {
            path.push_back(step.member ? CodingKey::member(*step.member) : CodingKey::index(step.index));
        }
        return path;
    }

    void newline() {
        if (!pretty_) return;
        out_.push_back('\n');
        out_.append(static_cast<std::size_t>(depth_) * 2, ' ');
    }

    void writeArray(const Value& array) {
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
            steps_.push_back({nullptr, index++});
            write(element);
            steps_.pop_back();
        }
        --depth_;
        newline();
        out_.push_back(']');
    }

    void writeObject(const Value& object) {
        if (object.empty()) {
            out_ += "{}";
            return;
        }
        out_.push_back('{');
        ++depth_;
        bool first = true;
        for (auto member = object.begin(); member != object.end(); ++member) {
            if (!first) out_.push_back(',');
            first = false;
            newline();
            const std::string& key = member.key();
            appendEscaped(out_, key);
            out_ += pretty_ ? " : " : ":";
            steps_.push_back({&key, 0});
            write(member.value());
            steps_.pop_back();
        }
        --depth_;
        newline();
        out_.push_back('}');
    }

    bool pretty_;
    int depth_ = 0;
    std::vector<Step> steps_;
    std::string out_;
};

} // namespace

std::string encode(const Value& value, Style style) {
    Writer writer(style);
    writer.write(value);
    return writer.take();
}

} // namespace tavlin::json
