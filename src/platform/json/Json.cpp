#include "platform/json/Json.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/json/Decoding.h"
#include "platform/json/JsonSink.h"
#include "platform/text/Utf8.h"

namespace tavlin::json {
namespace {

// A text in the pieces it was written in, so that it is never copied as it grows.
struct Chunks {
    struct Chunk {
        std::unique_ptr<char[]> bytes;
        std::size_t size;
    };
    std::vector<Chunk> chunks;
    std::size_t size = 0;

    std::string joined() const {
        std::string text;
        text.reserve(size);
        for (const auto& chunk : chunks) text.append(chunk.bytes.get(), chunk.size);
        return text;
    }
};

// Where the text goes, through a buffer: either chunks, which double from under 1 KiB (small
// enough for the allocator's per-thread cache) to 1 MiB, so small documents take one cheap
// allocation and large ones are never copied to grow; or, for a file, one reused buffer handed on
// whenever it fills, so megabytes of text never touch fresh memory.
class TextWriter {
public:
    explicit TextWriter(Chunks& text) : text_(&text) {}
    explicit TextWriter(const std::function<void(std::string_view)>& consume)
        : consume_(&consume), buffer_(std::make_unique_for_overwrite<char[]>(bufferSize)), p_(buffer_.get()),
          end_(p_ + bufferSize) {}
    TextWriter(const TextWriter&) = delete;
    TextWriter& operator=(const TextWriter&) = delete;

    void put(char c) {
        if (p_ == end_) next();
        *p_++ = c;
    }
    void put(std::string_view bytes) {
        // Most pieces are a few bytes: copied inline rather than by a library call.
        if (bytes.size() <= 16 && static_cast<std::size_t>(end_ - p_) >= 16) {
            for (const char c : bytes) *p_++ = c;
            return;
        }
        while (bytes.size() > static_cast<std::size_t>(end_ - p_)) {
            const std::size_t room = static_cast<std::size_t>(end_ - p_);
            if (room > 0) std::memcpy(p_, bytes.data(), room);
            p_ += room;
            bytes.remove_prefix(room);
            next();
        }
        if (!bytes.empty()) std::memcpy(p_, bytes.data(), bytes.size());
        p_ += bytes.size();
    }
    void spaces(std::size_t count) {
        while (count > static_cast<std::size_t>(end_ - p_)) {
            const std::size_t room = static_cast<std::size_t>(end_ - p_);
            if (room > 0) std::memset(p_, ' ', room);
            p_ += room;
            count -= room;
            next();
        }
        if (count > 0) std::memset(p_, ' ', count);
        p_ += count;
    }

    // Room for `count` more bytes in the buffer, or null. What is written there counts once
    // advance() moves past it.
    char* room(std::size_t count) { return static_cast<std::size_t>(end_ - p_) >= count ? p_ : nullptr; }
    void advance(char* to) { p_ = to; }

    // Completes the text: records the last chunk's size, or hands on what is left.
    void finish() {
        if (consume_) {
            flush();
            return;
        }
        if (text_->chunks.empty()) return;
        auto& chunk = text_->chunks.back();
        const auto used = static_cast<std::size_t>(p_ - chunk.bytes.get());
        text_->size += used - chunk.size;
        chunk.size = used;
    }

private:
    static constexpr std::size_t firstChunkSize = 1000;
    static constexpr std::size_t largestChunkSize = 1 << 20;
    static constexpr std::size_t bufferSize = 1 << 16;

    void flush() {
        const auto size = static_cast<std::size_t>(p_ - buffer_.get());
        if (size > 0) (*consume_)(std::string_view(buffer_.get(), size));
        p_ = buffer_.get();
    }

    void next() {
        if (consume_) {
            flush();
            return;
        }
        finish();
        const std::size_t capacity = text_->chunks.empty() ? firstChunkSize : std::min(capacity_ * 2, largestChunkSize);
        text_->chunks.push_back({std::make_unique_for_overwrite<char[]>(capacity), 0});
        capacity_ = capacity;
        p_ = text_->chunks.back().bytes.get();
        end_ = p_ + capacity;
    }

    Chunks* text_ = nullptr;
    const std::function<void(std::string_view)>* consume_ = nullptr;
    std::unique_ptr<char[]> buffer_;
    std::size_t capacity_ = 0;
    char* p_ = nullptr;
    char* end_ = nullptr;
};

// What each byte of a text needs, looked up rather than tested, as texts are scanned byte by byte.
enum ByteClass : std::uint8_t { plain, multiByte, escaped };
constexpr std::array<ByteClass, 256> byteClasses = [] {
    std::array<ByteClass, 256> classes{};
    for (int c = 0; c < 0x20; ++c) classes[c] = escaped;
    for (const char c : {'"', '\\', '/'}) classes[static_cast<unsigned char>(c)] = escaped;
    for (int c = 0x80; c < 0x100; ++c) classes[c] = multiByte;
    return classes;
}();

constexpr std::string_view replacementCharacter = "\xEF\xBF\xBD";

// The fast paths below write into room already checked, with no library call per piece.

// A quoted text whose bytes all go out as they are; null (with bytes written but not counted)
// as soon as one needs more.
char* putPlainQuoted(char* at, std::string_view text) {
    *at++ = '"';
    for (const char c : text) {
        if (byteClasses[static_cast<unsigned char>(c)] != plain) return nullptr;
        *at++ = c;
    }
    *at++ = '"';
    return at;
}

// A line break and `count` spaces, written eight at a time: needs room for count + 8 bytes.
char* putLineBreak(char* at, std::size_t count) {
    *at++ = '\n';
    // Eight spaces, not a C string: the text written has no terminator.
    for (std::size_t i = 0; i < count; i += 8) std::memcpy(at + i, "        ", 8); // NOLINT(bugprone-not-null-terminated-result)
    return at + count;
}

void putEscape(TextWriter& out, char c) {
    switch (c) {
    case '"': out.put("\\\""); break;
    case '\\': out.put("\\\\"); break;
    case '/': out.put("\\/"); break;
    case '\b': out.put("\\b"); break;
    case '\f': out.put("\\f"); break;
    case '\n': out.put("\\n"); break;
    case '\r': out.put("\\r"); break;
    case '\t': out.put("\\t"); break;
    default: {
        static constexpr char hex[] = "0123456789abcdef";
        const char escape[] = {'\\', 'u', '0', '0', hex[(c >> 4) & 0xF], hex[c & 0xF]};
        out.put(std::string_view(escape, sizeof escape));
    }
    }
}

// A quoted text. Ill-formed UTF-8 becomes U+FFFD per maximal subpart, as utf8::makeValid does;
// well-formed multi-byte sequences hold no ASCII byte, so nothing else changes.
void putQuoted(TextWriter& out, std::string_view text) {
    if (char* at = out.room(text.size() + 2)) {
        if (char* end = putPlainQuoted(at, text)) {
            out.advance(end);
            return;
        }
    }
    out.put('"');
    std::size_t pending = 0; // start of the run of bytes that are written as they are
    for (std::size_t i = 0; i < text.size();) {
        const ByteClass byteClass = byteClasses[static_cast<unsigned char>(text[i])];
        if (byteClass == plain) {
            ++i;
            continue;
        }
        if (byteClass == multiByte) {
            const int length = utf8::sequenceLength(text, i);
            if (length > 0) {
                i += static_cast<std::size_t>(length);
                continue;
            }
            out.put(text.substr(pending, i - pending));
            out.put(replacementCharacter);
            i += static_cast<std::size_t>(-length);
            pending = i;
            continue;
        }
        out.put(text.substr(pending, i - pending));
        putEscape(out, text[i]);
        pending = ++i;
    }
    out.put(text.substr(pending));
    out.put('"');
}

template <typename Number>
void putNumber(TextWriter& out, Number number) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
    out.put(std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)));
}

// The open objects and arrays around the value being written; the path is only spelled out for
// an error.
class Levels {
public:
    std::size_t depth() const { return levels_.size(); }

    void open(bool object) { levels_.push_back({object, 0, {}}); }
    // Answers whether the container was empty.
    bool close() {
        const bool empty = levels_.back().count == 0;
        levels_.pop_back();
        return empty;
    }
    // Answers whether a member came before this one.
    bool beginMember(std::string_view name) {
        Level& level = levels_.back();
        level.name = name;
        return level.count++ > 0;
    }
    // Answers whether an element came before this one; a member's value begins nothing new.
    bool beginValue(bool& inArray) {
        inArray = !levels_.empty() && !levels_.back().object;
        return inArray && levels_.back().count++ > 0;
    }

    CodingPath codingPath() const {
        CodingPath path;
        path.reserve(levels_.size());
        for (const auto& level : levels_) {
            if (level.count == 0) break; // nothing begun in it yet
            path.push_back(level.object ? CodingKey::member(std::string(level.name)) : CodingKey::index(level.count - 1));
        }
        return path;
    }

    [[noreturn]] void throwNotFinite(double value) const {
        throw EncodingError(codingPath(), "Unable to encode " + std::string(std::isnan(value) ? "NaN" : "an infinite number") +
                                              " directly in JSON.");
    }
    [[noreturn]] void throwUnencodable() const { throw EncodingError(codingPath(), "The value has no JSON form."); }

private:
    struct Level {
        bool object;
        int count;             // members or elements begun so far
        std::string_view name; // of the current member
    };
    std::vector<Level> levels_;
};

class TextSink final : public Sink {
public:
    TextSink(Style style, TextWriter& out) : pretty_(style == Style::pretty), out_(out) {}

    void beginObject() override { open('{', true); }
    void endObject() override { close('}'); }
    void beginArray() override { open('[', false); }
    void endArray() override { close(']'); }
    using Sink::beginObject;

    void key(std::string_view name) override {
        if (levels_.beginMember(name)) out_.put(',');
        newline();
        putQuoted(out_, name);
        out_.put(pretty_ ? std::string_view(" : ") : std::string_view(":"));
    }

    void string(std::string_view text) override {
        beforeValue();
        putQuoted(out_, text);
    }
    void boolean(bool value) override {
        beforeValue();
        out_.put(value ? std::string_view("true") : std::string_view("false"));
    }
    void integer(std::int64_t value) override {
        beforeValue();
        putNumber(out_, value);
    }
    void unsignedInteger(std::uint64_t value) override {
        beforeValue();
        putNumber(out_, value);
    }
    void number(double value) override {
        beforeValue(); // so that the path of the error names this element
        if (!std::isfinite(value)) levels_.throwNotFinite(value);
        putNumber(out_, value);
    }
    void null() override {
        beforeValue();
        out_.put("null");
    }

protected:
    [[noreturn]] void unencodable() override {
        beforeValue();
        levels_.throwUnencodable();
    }

private:
    // An element of an array starts on a line of its own; a member's value follows its name.
    void beforeValue() {
        bool inArray = false;
        if (levels_.beginValue(inArray)) out_.put(',');
        if (inArray) newline();
    }

    void open(char bracket, bool object) {
        beforeValue();
        out_.put(bracket);
        levels_.open(object);
    }

    void close(char bracket) {
        if (!levels_.close()) newline();
        out_.put(bracket);
    }

    void newline() {
        if (!pretty_) return;
        const std::size_t indentation = levels_.depth() * 2;
        if (char* at = out_.room(indentation + 9)) {
            out_.advance(putLineBreak(at, indentation));
            return;
        }
        out_.put('\n');
        out_.spaces(indentation);
    }

    bool pretty_;
    TextWriter& out_;
    Levels levels_;
};

// Follows the events as the text writer does, and writes nothing: it fails where writing would.
class EncodabilityCheck final : public Sink {
public:
    void beginObject() override { open(true); }
    void endObject() override { levels_.close(); }
    void beginArray() override { open(false); }
    void endArray() override { levels_.close(); }
    using Sink::beginObject;

    void key(std::string_view name) override { levels_.beginMember(name); }
    void string(std::string_view) override { beforeValue(); }
    void boolean(bool) override { beforeValue(); }
    void integer(std::int64_t) override { beforeValue(); }
    void unsignedInteger(std::uint64_t) override { beforeValue(); }
    void number(double value) override {
        beforeValue();
        if (!std::isfinite(value)) levels_.throwNotFinite(value);
    }
    void null() override { beforeValue(); }

protected:
    [[noreturn]] void unencodable() override {
        beforeValue();
        levels_.throwUnencodable();
    }

private:
    void beforeValue() {
        bool inArray = false;
        levels_.beginValue(inArray);
    }
    void open(bool object) {
        beforeValue();
        levels_.open(object);
        // The parser refuses deeper documents: what it cannot read back must not be written.
        if (levels_.depth() > static_cast<std::size_t>(maximumNestingDepth)) {
            throw EncodingError({}, "The value is nested deeper than " + std::to_string(maximumNestingDepth) +
                                        " levels, more than can be read back.");
        }
    }

    Levels levels_;
};

} // namespace

std::string encodeFrom(const std::function<void(Sink&)>& produce, Style style) {
    Chunks text;
    TextWriter out(text);
    TextSink sink(style, out);
    produce(sink);
    out.finish();
    return text.joined();
}

void checkEncodable(const std::function<void(Sink&)>& produce) {
    EncodabilityCheck check;
    produce(check);
}

void encodeTo(const std::function<void(Sink&)>& produce, const std::function<void(std::string_view)>& consume, Style style) {
    TextWriter out(consume);
    TextSink sink(style, out);
    produce(sink);
    out.finish();
}

std::string encode(const Value& value, Style style) {
    return encodeFrom([&value](Sink& sink) { sink.value(value); }, style);
}

} // namespace tavlin::json
