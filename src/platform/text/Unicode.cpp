#include "platform/text/Unicode.h"
#include "platform/text/Utf8.h"

#include <memory>

#include <unicode/brkiter.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

namespace tavlin::unicode {
namespace {

icu::UnicodeString fromUtf8(std::string_view text) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
}

std::string toUtf8(const icu::UnicodeString& text) {
    std::string out;
    text.toUTF8String(out);
    return out;
}

bool isAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

std::string composed(std::string_view text) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status)) return std::string(text);
    const icu::UnicodeString normalized = nfc->normalize(fromUtf8(text), status);
    return U_FAILURE(status) ? std::string(text) : toUtf8(normalized);
}

} // namespace

bool isValidUtf8(std::string_view text) { return utf8::isValid(text); }

std::string makeValidUtf8(std::string_view text) { return utf8::makeValid(text); }

std::u16string toUtf16(std::string_view text) {
    const icu::UnicodeString u = fromUtf8(text);
    return std::u16string(reinterpret_cast<const char16_t*>(u.getBuffer()), static_cast<std::size_t>(u.length()));
}

std::string fromUtf16(std::u16string_view text) {
    return toUtf8(icu::UnicodeString(text.data(), static_cast<int32_t>(text.size())));
}

bool isLetter(char32_t scalar) { return (U_GET_GC_MASK(static_cast<UChar32>(scalar)) & (U_GC_L_MASK | U_GC_M_MASK)) != 0; }

char32_t firstScalar(std::string_view text) {
    if (text.empty()) return 0;
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    int32_t at = 0;
    UChar32 c;
    U8_NEXT(bytes, at, static_cast<int32_t>(std::min<std::size_t>(text.size(), 4)), c);
    return c < 0 ? U'\uFFFD' : static_cast<char32_t>(c);
}

std::size_t characterCount(std::string_view text) {
    if (text.empty()) return 0;
    if (isAscii(text)) {
        // CR LF is the one ASCII pair that forms a single character.
        std::size_t count = text.size();
        for (std::size_t i = 1; i < text.size(); ++i) {
            if (text[i - 1] == '\r' && text[i] == '\n') --count;
        }
        return count;
    }
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> it(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status)) return static_cast<std::size_t>(fromUtf8(text).countChar32());
    const icu::UnicodeString u = fromUtf8(text);
    it->setText(u);
    std::size_t count = 0;
    for (int32_t at = it->first(); at != icu::BreakIterator::DONE; at = it->next()) ++count;
    return count - 1;
}

bool isSingleLetter(std::string_view text) { return !text.empty() && characterCount(text) == 1 && isLetter(firstScalar(text)); }

// ASCII text, all that key names of most layouts hold, maps by the ASCII letters alone (no
// other ASCII character has a case mapping, in the root locale or any): that keeps ICU's case
// data out of a launcher that names only such keys.
std::string uppercased(std::string_view text) {
    if (isAscii(text)) {
        std::string out(text);
        for (char& c : out) c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        return out;
    }
    icu::UnicodeString u = fromUtf8(text);
    u.toUpper(icu::Locale::getRoot());
    return toUtf8(u);
}

std::string lowercased(std::string_view text) {
    if (isAscii(text)) {
        std::string out(text);
        for (char& c : out) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        return out;
    }
    icu::UnicodeString u = fromUtf8(text);
    u.toLower(icu::Locale::getRoot());
    return toUtf8(u);
}

bool canonicalLess(std::string_view a, std::string_view b) {
    // UTF-8 byte order is scalar-value order, so composed forms compare bytewise.
    if (isAscii(a) && isAscii(b)) return a < b;
    return composed(a) < composed(b);
}

bool canonicallyEqual(std::string_view a, std::string_view b) {
    if (a == b) return true;
    if (isAscii(a) && isAscii(b)) return false;
    return composed(a) == composed(b);
}

} // namespace tavlin::unicode
