#include "app/DeviceInfo.h"

#include <charconv>

#include <sys/utsname.h>

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include "platform/base/Diagnostics.h"
#include "platform/desktop/BundleInfo.h"
#include "platform/files/Files.h"
#include "platform/text/Utf8.h"

namespace tavlin {
namespace {

// Both are a line or a short file; anything longer is not what we look for.
constexpr std::size_t osReleaseLimit = std::size_t{64} * 1024;
constexpr std::size_t modelLimit = std::size_t{4} * 1024;
constexpr std::size_t prettyNameLimit = 256;

std::optional<DeviceInfo::Sources>& replacedSources() {
    static std::optional<DeviceInfo::Sources> sources;
    return sources;
}

DeviceInfo::Sources currentSources() {
    DeviceInfo::Sources sources = replacedSources() ? *replacedSources() : DeviceInfo::Sources{};
    if (!sources.kernelRelease) {
        sources.kernelRelease = [] {
            utsname names{};
            return ::uname(&names) == 0 ? std::string(names.release) : std::string();
        };
    }
    return sources;
}

// At most `limit` bytes of a regular file; nothing when it cannot be opened or read.
std::optional<std::string> readPrefix(const std::filesystem::path& path, std::size_t limit) {
    try {
        return files::readBeginning(path, limit);
    } catch (const FileError&) {
        return std::nullopt;
    }
}

bool isControl(UChar32 scalar) { return u_charType(scalar) == U_CONTROL_CHAR; }

// Trims control and format characters at both ends, as the model files end in NUL or a line feed.
std::string trimmedOfControlCharacters(const std::string& text) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    int32_t start = 0;
    while (start < length) {
        int32_t next = start;
        UChar32 scalar;
        U8_NEXT(bytes, next, length, scalar);
        const auto type = u_charType(scalar);
        if (type != U_CONTROL_CHAR && type != U_FORMAT_CHAR) break;
        start = next;
    }
    int32_t end = length;
    while (end > start) {
        int32_t previous = end;
        UChar32 scalar;
        U8_PREV(bytes, start, previous, scalar);
        const auto type = u_charType(scalar);
        if (type != U_CONTROL_CHAR && type != U_FORMAT_CHAR) break;
        end = previous;
    }
    return text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
}

// The value of an os-release assignment: quoted in single or double quotes (the shell's rules,
// backslash escapes in double quotes), or bare.
std::string unquoted(std::string_view value) {
    if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'') return std::string(value.substr(1, value.size() - 2));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        value = value.substr(1, value.size() - 2);
        std::string result;
        for (std::size_t i = 0; i < value.size(); ++i) {
            if (value[i] == '\\' && i + 1 < value.size() &&
                std::string_view("\"\\$`").find(value[i + 1]) != std::string_view::npos)
                ++i;
            result += value[i];
        }
        return result;
    }
    return std::string(value);
}

std::optional<std::string> prettyName(const std::string& osRelease) {
    constexpr std::string_view key = "PRETTY_NAME=";
    std::size_t lineStart = 0;
    while (lineStart < osRelease.size()) {
        std::size_t lineEnd = osRelease.find('\n', lineStart);
        if (lineEnd == std::string::npos) lineEnd = osRelease.size();
        const std::string_view line(osRelease.data() + lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;
        if (line.substr(0, key.size()) != key) continue;
        std::string value = unquoted(line.substr(key.size()));
        if (!utf8::isValid(value)) return std::nullopt;
        // One line of the mail, without escape sequences or carriage returns.
        std::string cleaned;
        const auto* bytes = reinterpret_cast<const uint8_t*>(value.data());
        const auto length = static_cast<int32_t>(value.size());
        for (int32_t at = 0; at < length;) {
            const int32_t from = at;
            UChar32 scalar;
            U8_NEXT(bytes, at, length, scalar);
            if (!isControl(scalar)) cleaned.append(value, static_cast<std::size_t>(from), static_cast<std::size_t>(at - from));
        }
        if (cleaned.empty() || cleaned.size() > prettyNameLimit) return std::nullopt;
        return cleaned;
    }
    return std::nullopt;
}

// "Linux" and the first three numbers of the release ("6.1.0-18-amd64" gives 6.1.0); a missing
// number is 0. Nothing when the release does not begin with a number.
std::optional<std::string> kernelVersion(const std::string& release) {
    unsigned long numbers[3] = {0, 0, 0};
    const char* at = release.data();
    const char* end = release.data() + release.size();
    for (int i = 0; i < 3; ++i) {
        const auto [next, error] = std::from_chars(at, end, numbers[i]);
        if (error != std::errc()) {
            if (i == 0) return std::nullopt;
            numbers[i] = 0;
            break;
        }
        at = next;
        if (i < 2) {
            if (at == end || *at != '.') break;
            ++at;
        }
    }
    return "Linux " + std::to_string(numbers[0]) + "." + std::to_string(numbers[1]) + "." + std::to_string(numbers[2]);
}

} // namespace

void DeviceInfo::setSources(std::optional<Sources> sources) { replacedSources() = std::move(sources); }

std::optional<std::string> DeviceInfo::appVersion() {
    const BundleInfo info = mainBundleInfo();
    if (!info.shortVersion || !info.buildVersion) return std::nullopt;
    return *info.shortVersion + " (" + *info.buildVersion + ")";
}

std::optional<std::string> DeviceInfo::osVersion() {
    const Sources sources = currentSources();
    std::optional<std::string> name;
    for (const auto& file : sources.osReleaseFiles) {
        if (const auto text = readPrefix(file, osReleaseLimit)) {
            name = prettyName(*text);
            break;
        }
    }
    const auto kernel = kernelVersion(sources.kernelRelease());
    if (name && kernel) return *name + ", " + *kernel;
    return name ? name : kernel;
}

std::optional<std::string> DeviceInfo::deviceModel() {
    for (const auto& file : currentSources().modelFiles) {
        const auto bytes = readPrefix(file, modelLimit);
        if (!bytes || !utf8::isValid(*bytes)) continue;
        std::string model = trimmedOfControlCharacters(*bytes);
        if (!model.empty()) return model;
    }
    return std::nullopt;
}

std::string DeviceInfo::description(const std::vector<InfoKind>& kinds) {
    std::vector<std::string> lines;
    for (const InfoKind kind : kinds) {
        std::optional<std::string> line;
        switch (kind) {
        case InfoKind::osVersion: line = osVersion(); break;
        case InfoKind::deviceModel: line = deviceModel(); break;
        case InfoKind::appVersion: {
            const auto name = appDisplayName();
            const auto version = appVersion();
            if (name && version) line = *name + " " + *version;
            else diag::printLine("");
            break;
        }
        }
        if (line) lines.push_back(std::move(*line));
    }
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) text += '\n';
        text += lines[i];
    }
    return text;
}

} // namespace tavlin
