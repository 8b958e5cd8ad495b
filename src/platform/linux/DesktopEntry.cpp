#include "platform/linux/DesktopEntry.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <system_error>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/Files.h"

namespace tavlin::xdg {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view desktopSuffix = ".desktop";
// Desktop entries are a few kilobytes; anything far larger is not one.
constexpr std::uintmax_t maximumEntrySize = 1 << 20;

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

std::string withoutDesktopSuffix(std::string_view name) {
    if (endsWith(name, desktopSuffix)) name.remove_suffix(desktopSuffix.size());
    return std::string(name);
}

// The escapes of string values: \s \n \t \r \\. Others are kept as written.
std::string unescaped(std::string_view value) {
    std::string result;
    result.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            result += value[i];
            continue;
        }
        switch (value[i + 1]) {
        case 's': result += ' '; break;
        case 'n': result += '\n'; break;
        case 't': result += '\t'; break;
        case 'r': result += '\r'; break;
        case '\\': result += '\\'; break;
        default:
            result += value[i];
            result += value[i + 1];
            break;
        }
        ++i;
    }
    return result;
}

std::string* fieldFor(DesktopEntry& entry, std::string_view key) {
    if (key == "Type") return &entry.type;
    if (key == "Name") return &entry.name;
    if (key == "Icon") return &entry.icon;
    if (key == "Exec") return &entry.exec;
    if (key == "TryExec") return &entry.tryExec;
    if (key == "Path") return &entry.workingDirectory;
    if (key == "StartupWMClass") return &entry.startupWMClass;
    return nullptr;
}

bool isExecutableFile(const fs::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    // Root passes access(X_OK) for any file with one execute bit; the bits decide for everyone.
    return (info.st_mode & 0111) != 0 && ::access(path.c_str(), X_OK) == 0;
}

std::optional<fs::path> realPath(const fs::path& path) {
    std::error_code ec;
    fs::path resolved = fs::canonical(path, ec);
    if (ec) return std::nullopt;
    return resolved;
}

// The id of a file below an applications folder: its relative path with "/" as "-".
std::string idFromRelativePath(const fs::path& relative) {
    std::string id = withoutDesktopSuffix(relative.generic_string());
    std::replace(id.begin(), id.end(), '/', '-');
    return id;
}

std::string desktopFileIdOf(const fs::path& path) {
    const fs::path absolute = fs::absolute(path).lexically_normal();
    for (const auto& directory : applicationDirectories()) {
        const fs::path relative = absolute.lexically_relative(directory.lexically_normal());
        if (!relative.empty() && *relative.begin() != ".." && *relative.begin() != ".") {
            return idFromRelativePath(relative);
        }
    }
    // Outside the applications folders an entry has no id; its name is the best stand-in.
    return withoutDesktopSuffix(path.filename().string());
}

bool isUrlScheme(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0) return false;
    const auto isAlpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (!isAlpha(text[0])) return false;
    return std::all_of(text.begin() + 1, text.begin() + static_cast<std::ptrdiff_t>(colon),
                       [&](char c) { return isAlpha(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'; });
}

// An item to open: a local file (with its path) or another URL.
struct Item {
    std::string text;
    std::optional<std::string> localPath;
};

std::optional<Item> classify(const std::string& text) {
    if (text.find('\0') != std::string::npos) return std::nullopt;
    if (!text.empty() && text.front() == '/') return Item{text, text};
    if (!isUrlScheme(text)) return std::nullopt; // also keeps "-option" texts out of argument lists
    return Item{text, localPathOfFileUrl(text)};
}

enum class Code { none, file, files, url, urls, icon };

Code standaloneCode(std::string_view word) {
    if (word == "%f") return Code::file;
    if (word == "%F") return Code::files;
    if (word == "%u") return Code::url;
    if (word == "%U") return Code::urls;
    if (word == "%i") return Code::icon;
    return Code::none;
}

// Expands the codes that may sit inside a word. Nothing when the word holds a code that is
// unknown or one that takes items (those must stand alone).
std::optional<std::string> expandedWord(std::string_view word, const DesktopEntry& entry) {
    std::string result;
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (word[i] != '%') {
            result += word[i];
            continue;
        }
        if (i + 1 == word.size()) return std::nullopt;
        switch (word[++i]) {
        case '%': result += '%'; break;
        case 'c': result += entry.displayName(); break;
        case 'k': result += entry.path.string(); break;
        case 'd':
        case 'D':
        case 'n':
        case 'N':
        case 'v':
        case 'm': break; // deprecated: removed
        default: return std::nullopt;
        }
    }
    return result;
}

struct Piece {
    Code code;
    std::string text;
};

// An Exec line with its codes that take items left open.
struct Template {
    std::vector<Piece> pieces;
    Code itemCode = Code::none; // the one code that takes items, if any
};

CommandLines failure(std::string sentence) { return CommandLines{{}, std::move(sentence)}; }

CommandLines expand(const Template& commandTemplate, const std::string& icon, const std::string& application,
                    const std::vector<std::string>& items) {
    const Code itemCode = commandTemplate.itemCode;
    std::vector<Item> classified;
    for (const auto& text : items) {
        auto item = classify(text);
        if (!item) return failure(application + " cannot open “" + text + "” because it is not a URL.");
        const bool needsFile = itemCode == Code::file || itemCode == Code::files;
        if (needsFile && !item->localPath) {
            return failure(application + " cannot open “" + text + "” because it opens only local files.");
        }
        classified.push_back(std::move(*item));
    }

    const auto build = [&](const std::vector<Item>& chosen) {
        std::vector<std::string> argv;
        for (const auto& piece : commandTemplate.pieces) {
            switch (piece.code) {
            case Code::none: argv.push_back(piece.text); break;
            case Code::icon:
                if (!icon.empty()) {
                    argv.push_back("--icon");
                    argv.push_back(icon);
                }
                break;
            case Code::file:
            case Code::files:
                for (const auto& item : chosen) argv.push_back(*item.localPath);
                break;
            case Code::url:
            case Code::urls:
                for (const auto& item : chosen) argv.push_back(item.text);
                break;
            }
        }
        if (itemCode == Code::none) {
            for (const auto& item : chosen) argv.push_back(item.localPath.value_or(item.text));
        }
        return argv;
    };

    CommandLines result;
    if ((itemCode == Code::file || itemCode == Code::url) && classified.size() > 1) {
        for (const auto& item : classified) result.argvs.push_back(build({item}));
    } else {
        result.argvs.push_back(build(classified));
    }
    return result;
}

} // namespace

std::string DesktopEntry::displayName() const {
    if (!name.empty()) return name;
    return withoutDesktopSuffix(path.filename().string());
}

std::optional<DesktopEntry> parseDesktopEntry(std::string_view text, const std::filesystem::path& path) {
    DesktopEntry entry;
    entry.path = path;
    std::set<std::string, std::less<>> seenKeys;
    bool inGroup = false;
    bool foundGroup = false;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        line = trimmed(line);
        if (line.empty() || line.front() == '#') continue;
        if (line.front() == '[') {
            if (inGroup) break;
            inGroup = line == "[Desktop Entry]";
            foundGroup = foundGroup || inGroup;
            continue;
        }
        if (!inGroup) continue;
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        const std::string_view key = trimmed(line.substr(0, equals));
        // A repeated key keeps its first value.
        if (!seenKeys.emplace(key).second) continue;
        const std::string_view value = trimmed(line.substr(equals + 1));
        if (std::string* field = fieldFor(entry, key)) *field = unescaped(value);
        else if (key == "NoDisplay") entry.noDisplay = value == "true";
        else if (key == "Hidden") entry.hidden = value == "true";
        else if (key.starts_with("Name[") && key.size() > 6 && key.back() == ']')
            entry.localizedNames.emplace(std::string(key.substr(5, key.size() - 6)), unescaped(value));
    }
    if (!foundGroup) return std::nullopt;
    return entry;
}

std::optional<DesktopEntry> readDesktopEntry(const std::filesystem::path& path) {
    std::string text;
    try {
        text = files::readFile(path, maximumEntrySize);
    } catch (const FileError&) {
        return std::nullopt;
    }
    auto entry = parseDesktopEntry(text, path);
    if (entry) entry->id = desktopFileIdOf(path);
    return entry;
}

std::optional<std::vector<std::string>> splitExec(std::string_view exec) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (c == ' ' || c == '\t' || c == '\n') {
            if (inWord) words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else if (c == '"') {
            inWord = true;
            for (++i;; ++i) {
                if (i == exec.size()) return std::nullopt; // unterminated quote
                if (exec[i] == '"') break;
                if (exec[i] == '\\' && i + 1 < exec.size() &&
                    std::string_view("\"`$\\").find(exec[i + 1]) != std::string_view::npos) {
                    ++i;
                }
                word += exec[i];
            }
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(std::move(word));
    return words;
}

CommandLines commandLinesFor(const DesktopEntry& entry, const std::vector<std::string>& items) {
    const std::string application = "The application “" + entry.displayName() + "”";
    if (!entry.type.empty() && entry.type != "Application") {
        return failure(application + " could not be launched because it is not an application.");
    }
    if (trimmed(entry.exec).empty()) {
        return failure(application + " could not be launched because its desktop entry has no command.");
    }
    const std::string invalid = application + " could not be launched because its command line is not valid.";
    const auto words = splitExec(entry.exec);
    if (!words || words->empty()) return failure(invalid);

    Template commandTemplate;
    for (std::size_t index = 0; index < words->size(); ++index) {
        const std::string& word = (*words)[index];
        const Code code = standaloneCode(word);
        if (code != Code::none) {
            if (index == 0) return failure(invalid); // the program itself is never an item
            if (code != Code::icon) {
                if (commandTemplate.itemCode != Code::none) return failure(invalid); // at most one item code
                commandTemplate.itemCode = code;
            }
            commandTemplate.pieces.push_back({code, {}});
            continue;
        }
        auto expanded = expandedWord(word, entry);
        if (!expanded) return failure(invalid);
        // A word made only of codes that expand to nothing disappears.
        if (expanded->empty() && !word.empty()) continue;
        commandTemplate.pieces.push_back({Code::none, std::move(*expanded)});
    }
    const auto& pieces = commandTemplate.pieces;
    if (pieces.empty() || pieces.front().code != Code::none || pieces.front().text.empty()) return failure(invalid);
    return expand(commandTemplate, entry.icon, application, items);
}

CommandLines commandLinesForExecutable(const std::string& program, const std::string& displayName,
                                       const std::vector<std::string>& items) {
    const Template commandTemplate{{{Code::none, program}}, Code::none};
    return expand(commandTemplate, {}, "The application “" + displayName + "”", items);
}

std::optional<std::string> localPathOfFileUrl(std::string_view url) {
    constexpr std::string_view scheme = "file:";
    if (url.size() < scheme.size()) return std::nullopt;
    for (std::size_t i = 0; i < scheme.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(url[i])) != scheme[i]) return std::nullopt;
    }
    std::string_view rest = url.substr(scheme.size());
    if (rest.substr(0, 2) == "//") {
        rest.remove_prefix(2);
        const auto slash = rest.find('/');
        if (slash == std::string_view::npos) return std::nullopt;
        const std::string_view host = rest.substr(0, slash);
        if (!host.empty() && host != "localhost") return std::nullopt;
        rest.remove_prefix(slash);
    }
    rest = rest.substr(0, rest.find_first_of("?#"));
    if (rest.empty() || rest.front() != '/') return std::nullopt;
    std::string path;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] != '%') {
            path += rest[i];
            continue;
        }
        if (i + 2 >= rest.size() || !std::isxdigit(static_cast<unsigned char>(rest[i + 1])) ||
            !std::isxdigit(static_cast<unsigned char>(rest[i + 2]))) {
            return std::nullopt;
        }
        const char byte = static_cast<char>(std::stoi(std::string(rest.substr(i + 1, 2)), nullptr, 16));
        if (byte == '\0') return std::nullopt;
        path += byte;
        i += 2;
    }
    return path;
}

std::optional<std::filesystem::path> resolveExecutable(const std::string& program) {
    if (program.empty() || program.find('\0') != std::string::npos) return std::nullopt;
    if (program.find('/') != std::string::npos) {
        if (!isExecutableFile(program)) return std::nullopt;
        return realPath(program);
    }
    const char* variable = std::getenv("PATH");
    const std::string_view searchPath = variable ? variable : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= searchPath.size()) {
        auto end = searchPath.find(':', start);
        if (end == std::string_view::npos) end = searchPath.size();
        const fs::path folder(searchPath.substr(start, end - start));
        start = end + 1;
        // Empty or relative entries would search wherever we happen to be.
        if (!folder.is_absolute()) continue;
        const fs::path candidate = folder / program;
        if (isExecutableFile(candidate)) return realPath(candidate);
    }
    return std::nullopt;
}

std::optional<std::filesystem::path> executableOfEntry(const DesktopEntry& entry) {
    const auto words = splitExec(entry.exec);
    if (!words || words->empty()) return std::nullopt;
    const auto program = expandedWord(words->front(), entry);
    if (!program) return std::nullopt;
    return resolveExecutable(*program);
}

bool isInstalled(const DesktopEntry& entry) { return entry.tryExec.empty() || resolveExecutable(entry.tryExec).has_value(); }

std::vector<std::filesystem::path> applicationDirectories() {
    std::vector<fs::path> directories;
    if (const auto dataHome = files::applicationSupportDirectory()) directories.push_back(*dataHome / "applications");
    const char* variable = std::getenv("XDG_DATA_DIRS");
    const std::string_view dataDirs = variable && *variable ? variable : "/usr/local/share:/usr/share";
    std::size_t start = 0;
    while (start <= dataDirs.size()) {
        auto end = dataDirs.find(':', start);
        if (end == std::string_view::npos) end = dataDirs.size();
        const fs::path folder(dataDirs.substr(start, end - start));
        start = end + 1;
        if (folder.is_absolute()) directories.push_back(folder / "applications");
    }
    return directories;
}

DesktopEntryCatalog DesktopEntryCatalog::scan() { return scan(applicationDirectories()); }

DesktopEntryCatalog DesktopEntryCatalog::scan(const std::vector<std::filesystem::path>& directories) {
    DesktopEntryCatalog catalog;
    std::set<std::string, std::less<>> takenIds;
    for (const auto& directory : directories) {
        std::vector<fs::path> relativePaths;
        std::error_code ec;
        auto it = fs::recursive_directory_iterator(directory, fs::directory_options::skip_permission_denied, ec);
        for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            std::error_code typeError;
            if (it->is_regular_file(typeError) && it->path().extension() == desktopSuffix) {
                relativePaths.push_back(it->path().lexically_relative(directory));
            }
        }
        std::sort(relativePaths.begin(), relativePaths.end());
        for (const auto& relative : relativePaths) {
            std::string id = idFromRelativePath(relative);
            // The first file of an id hides the later ones, even when it cannot be used itself.
            if (!takenIds.insert(id).second) continue;
            auto entry = readDesktopEntry(directory / relative);
            if (!entry || !isInstalled(*entry)) continue;
            entry->id = std::move(id);
            catalog.entries_.push_back(std::move(*entry));
        }
    }
    return catalog;
}

const DesktopEntry* DesktopEntryCatalog::find(std::string_view id) const {
    const std::string wanted = withoutDesktopSuffix(id);
    for (const auto& entry : entries_) {
        if (entry.id == wanted) return &entry;
    }
    return nullptr;
}

} // namespace tavlin::xdg
