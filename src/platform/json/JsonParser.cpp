#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <unordered_set>
#include <vector>

#include "platform/json/Decoding.h"
#include "platform/json/Json.h"
#include "platform/text/Utf8.h"

// A single-pass parser straight into the value model. The general-purpose parser reads one
// character at a time through several layers; configuration files are mostly indentation, and
// this one skips it in a tight loop. It also enforces the nesting limit as it goes.
namespace tavlin::json {
namespace {

class Parser {
public:
    explicit Parser(std::string_view text) : begin_(text.data()), p_(text.data()), end_(text.data() + text.size()) {}

    Value document() {
        skipWhitespace();
        Value value = parseValue(0);
        skipWhitespace();
        if (p_ != end_) fail("unexpected text after the document");
        return value;
    }

private:
    [[noreturn]] void fail(const std::string& reason) const {
        throw DecodingError::dataCorrupted({}, "The given data was not valid JSON: " + reason + " at offset " +
                                                   std::to_string(p_ - begin_) + ".");
    }

    void skipWhitespace() {
        while (p_ != end_) {
            // Indentation: runs of spaces, eight bytes at a time.
            while (end_ - p_ >= 8) {
                std::uint64_t word;
                std::memcpy(&word, p_, 8);
                const std::uint64_t other = word ^ 0x2020202020202020ULL;
                if (other != 0) {
                    if constexpr (std::endian::native == std::endian::little) p_ += std::countr_zero(other) / 8;
                    break;
                }
                p_ += 8;
            }
            if (p_ == end_) return;
            const char c = *p_;
            if (c != ' ' && c != '\n' && c != '\r' && c != '\t') return;
            ++p_;
        }
    }

    void expectLiteral(std::string_view literal) {
        if (static_cast<std::size_t>(end_ - p_) < literal.size() || std::memcmp(p_, literal.data(), literal.size()) != 0) {
            fail("invalid literal");
        }
        p_ += literal.size();
    }

    Value parseValue(int depth) {
        if (p_ == end_) fail("unexpected end of data");
        switch (*p_) {
        case '{': return parseObject(depth + 1);
        case '[': return parseArray(depth + 1);
        case '"': return Value(parseString());
        case 't': expectLiteral("true"); return Value(true);
        case 'f': expectLiteral("false"); return Value(false);
        case 'n': expectLiteral("null"); return Value(nullptr);
        default:
            if (*p_ == '-' || (*p_ >= '0' && *p_ <= '9')) return parseNumber();
            fail("unexpected character");
        }
    }

    void checkDepth(int depth) const {
        if (depth > maximumNestingDepth) {
            throw DecodingError::dataCorrupted({}, "The given data was not valid JSON: nesting is deeper than " +
                                                       std::to_string(maximumNestingDepth) + " levels.");
        }
    }

    // Members and elements gather on stacks shared by all levels and move into their container
    // once it is complete, so each container is allocated once at its final size instead of
    // growing member by member.
    Value parseObject(int depth) {
        checkDepth(depth);
        ++p_;
        const std::size_t first = keys_.size();
        skipWhitespace();
        if (p_ != end_ && *p_ == '}') {
            ++p_;
            return Value::object();
        }
        while (true) {
            skipWhitespace();
            if (p_ == end_ || *p_ != '"') fail("expected a member name");
            keys_.push_back(parseString());
            skipWhitespace();
            if (p_ == end_ || *p_ != ':') fail("expected ':'");
            ++p_;
            skipWhitespace();
            values_.push_back(parseValue(depth));
            skipWhitespace();
            if (p_ == end_) fail("unexpected end of data");
            if (*p_ == ',') {
                ++p_;
                continue;
            }
            if (*p_ == '}') {
                ++p_;
                return takeObject(first);
            }
            fail("expected ',' or '}'");
        }
    }

    Value takeObject(std::size_t first) {
        Value value = Value::object();
        auto& object = value.get_ref<Value::object_t&>();
        const std::size_t count = keys_.size() - first;
        object.reserve(count);
        const auto keys = keys_.begin() + static_cast<std::ptrdiff_t>(first);
        const auto values = values_.end() - static_cast<std::ptrdiff_t>(count);
        if (hasRepeatedName(first)) {
            // A repeated name keeps its first place and takes the last value.
            for (std::size_t i = 0; i < count; ++i) object[keys[i]] = std::move(values[i]);
        } else {
            for (std::size_t i = 0; i < count; ++i) object.emplace_back(std::move(keys[i]), std::move(values[i]));
        }
        keys_.erase(keys, keys_.end());
        values_.erase(values, values_.end());
        return value;
    }

    bool hasRepeatedName(std::size_t first) {
        const std::size_t count = keys_.size() - first;
        if (count < 2) return false;
        if (count <= 8) {
            for (std::size_t i = first; i < keys_.size(); ++i) {
                for (std::size_t j = first; j < i; ++j) {
                    if (keys_[i] == keys_[j]) return true;
                }
            }
            return false;
        }
        std::unordered_set<std::string_view> seen;
        seen.reserve(count);
        for (std::size_t i = first; i < keys_.size(); ++i) {
            if (!seen.insert(keys_[i]).second) return true;
        }
        return false;
    }

    Value parseArray(int depth) {
        checkDepth(depth);
        ++p_;
        const std::size_t first = values_.size();
        skipWhitespace();
        if (p_ != end_ && *p_ == ']') {
            ++p_;
            return Value::array();
        }
        while (true) {
            skipWhitespace();
            values_.push_back(parseValue(depth));
            skipWhitespace();
            if (p_ == end_) fail("unexpected end of data");
            if (*p_ == ',') {
                ++p_;
                continue;
            }
            if (*p_ == ']') {
                ++p_;
                Value value = Value::array();
                auto& array = value.get_ref<Value::array_t&>();
                const auto elements = values_.begin() + static_cast<std::ptrdiff_t>(first);
                array.assign(std::make_move_iterator(elements), std::make_move_iterator(values_.end()));
                values_.erase(elements, values_.end());
                return value;
            }
            fail("expected ',' or ']'");
        }
    }

    static int hexDigit(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    unsigned readHex4() {
        if (end_ - p_ < 4) fail("incomplete \\u escape");
        unsigned value = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = hexDigit(p_[i]);
            if (digit < 0) fail("invalid \\u escape");
            value = value * 16 + static_cast<unsigned>(digit);
        }
        p_ += 4;
        return value;
    }

    static void appendUtf8(std::string& out, char32_t c) {
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }

    // Copies one well-formed UTF-8 sequence starting at a byte >= 0x80.
    void copyMultibyte(std::string& out) {
        const int length = utf8::wellFormedSequenceLength(std::string_view(p_, static_cast<std::size_t>(end_ - p_)), 0);
        if (length == 0) fail("invalid UTF-8");
        out.append(p_, static_cast<std::size_t>(length));
        p_ += length;
    }

    std::string parseString() {
        ++p_; // opening quote
        std::string out;
        while (true) {
            // The common case: a run of plain ASCII characters.
            const char* run = p_;
            while (p_ != end_) {
                const auto c = static_cast<unsigned char>(*p_);
                if (c == '"' || c == '\\' || c < 0x20 || c >= 0x80) break;
                ++p_;
            }
            out.append(run, static_cast<std::size_t>(p_ - run));
            if (p_ == end_) fail("unterminated string");
            const auto c = static_cast<unsigned char>(*p_);
            if (c == '"') {
                ++p_;
                return out;
            }
            if (c < 0x20) fail("control character in string");
            if (c >= 0x80) {
                copyMultibyte(out);
                continue;
            }
            ++p_; // backslash
            if (p_ == end_) fail("unterminated string");
            const char escape = *p_++;
            switch (escape) {
            case '"': out.push_back('"'); break;
            case '\\': out.push_back('\\'); break;
            case '/': out.push_back('/'); break;
            case 'b': out.push_back('\b'); break;
            case 'f': out.push_back('\f'); break;
            case 'n': out.push_back('\n'); break;
            case 'r': out.push_back('\r'); break;
            case 't': out.push_back('\t'); break;
            case 'u': {
                unsigned code = readHex4();
                if (code >= 0xD800 && code <= 0xDBFF) {
                    if (end_ - p_ < 6 || p_[0] != '\\' || p_[1] != 'u') fail("unpaired surrogate");
                    p_ += 2;
                    const unsigned low = readHex4();
                    if (low < 0xDC00 || low > 0xDFFF) fail("unpaired surrogate");
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                } else if (code >= 0xDC00 && code <= 0xDFFF) {
                    fail("unpaired surrogate");
                }
                appendUtf8(out, code);
                break;
            }
            default: fail("invalid escape");
            }
        }
    }

    Value parseNumber() {
        const char* start = p_;
        if (*p_ == '-') ++p_;
        if (p_ == end_) fail("invalid number");
        if (*p_ == '0') {
            ++p_;
        } else if (*p_ >= '1' && *p_ <= '9') {
            while (p_ != end_ && *p_ >= '0' && *p_ <= '9') ++p_;
        } else {
            fail("invalid number");
        }
        bool integral = true;
        if (p_ != end_ && *p_ == '.') {
            integral = false;
            ++p_;
            if (p_ == end_ || *p_ < '0' || *p_ > '9') fail("invalid number");
            while (p_ != end_ && *p_ >= '0' && *p_ <= '9') ++p_;
        }
        if (p_ != end_ && (*p_ == 'e' || *p_ == 'E')) {
            integral = false;
            ++p_;
            if (p_ != end_ && (*p_ == '+' || *p_ == '-')) ++p_;
            if (p_ == end_ || *p_ < '0' || *p_ > '9') fail("invalid number");
            while (p_ != end_ && *p_ >= '0' && *p_ <= '9') ++p_;
        }
        if (integral) {
            if (*start == '-') {
                std::int64_t value = 0;
                const auto result = std::from_chars(start, p_, value);
                if (result.ec == std::errc() && result.ptr == p_) return Value(value);
            } else {
                std::uint64_t value = 0;
                const auto result = std::from_chars(start, p_, value);
                if (result.ec == std::errc() && result.ptr == p_) {
                    if (value <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
                        return Value(static_cast<std::int64_t>(value));
                    }
                    return Value(value);
                }
            }
        }
        double value = 0;
        const auto result = std::from_chars(start, p_, value);
        if (result.ec == std::errc::result_out_of_range) {
            // Beyond the range of a double: keep the magnitude as infinity (or zero), as the C
            // library does; readers refuse numbers that do not fit what they read.
            const bool negative = *start == '-';
            const char* e = start;
            while (e != p_ && *e != 'e' && *e != 'E') ++e;
            const bool tiny = e != p_ && e + 1 != p_ && e[1] == '-';
            value = tiny ? (negative ? -0.0 : 0.0) : (negative ? -HUGE_VAL : HUGE_VAL);
        } else if (result.ec != std::errc() || result.ptr != p_) {
            fail("invalid number");
        }
        return Value(value);
    }

    const char* begin_;
    const char* p_;
    const char* end_;
    std::vector<std::string> keys_;
    std::vector<Value> values_;
};

} // namespace

Value parse(std::string_view text) { return Parser(text).document(); }

} // namespace tavlin::json
