#include "platform/files/UserDefaults.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <thread>
#include <type_traits>

#include "platform/base/Diagnostics.h"
#include "platform/files/Files.h"
#include "platform/json/Decoding.h"
#include "platform/json/Json.h"

namespace tavlin {
namespace {

// Why a stored value could not be read back.
struct MalformedValue : std::runtime_error {
    using std::runtime_error::runtime_error;
};

constexpr std::string_view base64Alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string base64Encode(const DefaultsValue::Data& data) {
    std::string text;
    text.reserve((data.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= data.size(); i += 3) {
        const std::uint32_t group = (std::uint32_t{data[i]} << 16) | (std::uint32_t{data[i + 1]} << 8) | data[i + 2];
        for (int shift = 18; shift >= 0; shift -= 6) text.push_back(base64Alphabet[(group >> shift) & 0x3F]);
    }
    const std::size_t rest = data.size() - i;
    if (rest > 0) {
        std::uint32_t group = std::uint32_t{data[i]} << 16;
        if (rest == 2) group |= std::uint32_t{data[i + 1]} << 8;
        text.push_back(base64Alphabet[(group >> 18) & 0x3F]);
        text.push_back(base64Alphabet[(group >> 12) & 0x3F]);
        text.push_back(rest == 2 ? base64Alphabet[(group >> 6) & 0x3F] : '=');
        text.push_back('=');
    }
    return text;
}

// Accepts only what base64Encode writes: padded, no white space, zero bits after the last byte.
DefaultsValue::Data base64Decode(const std::string& text) {
    static const std::array<int, 256> values = [] {
        std::array<int, 256> table{};
        table.fill(-1);
        for (std::size_t i = 0; i < base64Alphabet.size(); ++i) table[static_cast<unsigned char>(base64Alphabet[i])] = int(i);
        return table;
    }();
    if (text.size() % 4 != 0) throw MalformedValue("the data is not base64 text");
    std::size_t padding = 0;
    if (!text.empty() && text.back() == '=') padding = text[text.size() - 2] == '=' ? 2 : 1;

    DefaultsValue::Data data;
    data.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        std::uint32_t group = 0;
        for (std::size_t j = 0; j < 4; ++j) {
            const char c = text[i + j];
            int value = 0;
            if (c == '=' && last && j >= 4 - padding) value = 0;
            else if ((value = values[static_cast<unsigned char>(c)]) < 0) throw MalformedValue("the data is not base64 text");
            group = (group << 6) | static_cast<std::uint32_t>(value);
        }
        const std::size_t count = last ? 3 - padding : 3;
        if (last && padding > 0 && (group & ((1u << (8 * padding)) - 1)) != 0) {
            throw MalformedValue("the data is not base64 text");
        }
        for (std::size_t k = 0; k < count; ++k) data.push_back(static_cast<std::uint8_t>(group >> (16 - 8 * k)));
    }
    return data;
}

// JSON numbers cannot carry these doubles (and our writer prints -0.0 as "-0", which reads back
// as the integer 0), so they are stored as text under the "double" tag.
std::optional<std::string> textForUnwritableDouble(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    if (value == 0 && std::signbit(value)) return "-0";
    return std::nullopt;
}

json::Value encodeTagged(const DefaultsValue& value) {
    json::Value tagged = json::Value::object();
    std::visit(
        [&](const auto& stored) {
            using T = std::decay_t<decltype(stored)>;
            if constexpr (std::is_same_v<T, bool>) {
                tagged["bool"] = stored;
            } else if constexpr (std::is_same_v<T, std::int64_t>) {
                tagged["integer"] = stored;
            } else if constexpr (std::is_same_v<T, double>) {
                if (auto text = textForUnwritableDouble(stored)) tagged["double"] = *text;
                else tagged["double"] = stored;
            } else if constexpr (std::is_same_v<T, std::string>) {
                tagged["string"] = stored;
            } else if constexpr (std::is_same_v<T, DefaultsValue::Data>) {
                tagged["data"] = base64Encode(stored);
            } else if constexpr (std::is_same_v<T, DefaultsValue::Array>) {
                json::Value elements = json::Value::array();
                for (const auto& element : stored) elements.push_back(encodeTagged(element));
                tagged["array"] = std::move(elements);
            } else {
                json::Value members = json::Value::object();
                for (const auto& [key, member] : stored) members[key] = encodeTagged(member);
                tagged["dictionary"] = std::move(members);
            }
        },
        value.storage());
    return tagged;
}

DefaultsValue decodeTagged(const json::Value& tagged) {
    if (!tagged.is_object() || tagged.size() != 1) {
        throw MalformedValue(
            "expected an object with exactly one of bool, integer, double, string, data, array, "
            "dictionary");
    }
    const auto member = tagged.begin();
    const std::string& tag = member.key();
    const json::Value& content = member.value();
    if (tag == "bool") {
        if (!content.is_boolean()) throw MalformedValue("\"bool\" does not hold true or false");
        return content.get<bool>();
    }
    if (tag == "integer") {
        if (content.is_number_integer() && !content.is_number_unsigned()) return content.get<std::int64_t>();
        if (content.is_number_unsigned() &&
            content.get<std::uint64_t>() <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            return static_cast<std::int64_t>(content.get<std::uint64_t>());
        }
        throw MalformedValue("\"integer\" does not hold a 64-bit integer");
    }
    if (tag == "double") {
        // Our writer prints 1.0 as "1": the tag, not the number's form, makes it a double.
        if (content.is_number()) return content.get<double>();
        if (content.is_string()) {
            const auto& text = content.get_ref<const std::string&>();
            if (text == "nan") return std::numeric_limits<double>::quiet_NaN();
            if (text == "inf") return std::numeric_limits<double>::infinity();
            if (text == "-inf") return -std::numeric_limits<double>::infinity();
            if (text == "-0") return -0.0;
        }
        throw MalformedValue("\"double\" does not hold a number");
    }
    if (tag == "string") {
        if (!content.is_string()) throw MalformedValue("\"string\" does not hold text");
        return content.get<std::string>();
    }
    if (tag == "data") {
        if (!content.is_string()) throw MalformedValue("\"data\" does not hold base64 text");
        return base64Decode(content.get_ref<const std::string&>());
    }
    if (tag == "array") {
        if (!content.is_array()) throw MalformedValue("\"array\" does not hold an array");
        DefaultsValue::Array elements;
        elements.reserve(content.size());
        for (const auto& element : content) elements.push_back(decodeTagged(element));
        return elements;
    }
    if (tag == "dictionary") {
        if (!content.is_object()) throw MalformedValue("\"dictionary\" does not hold an object");
        DefaultsValue::Dictionary members;
        for (const auto& [key, member] : content.items()) members.insert_or_assign(key, decodeTagged(member));
        return members;
    }
    throw MalformedValue("unknown kind \"" + tag + "\"");
}

bool isJsonSpace(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }

// Moves `at` past the string that starts there.
void skipString(std::string_view text, std::size_t& at) {
    for (++at; at < text.size() && text[at] != '"'; ++at)
        if (text[at] == '\\') ++at;
    ++at;
}

// Moves `at` past the value that starts there.
void skipValue(std::string_view text, std::size_t& at) {
    if (at >= text.size()) return;
    if (text[at] == '"') return skipString(text, at);
    if (text[at] != '{' && text[at] != '[') {
        while (at < text.size() && !isJsonSpace(text[at]) && text[at] != ',' && text[at] != '}' && text[at] != ']') ++at;
        return;
    }
    int depth = 0;
    while (at < text.size()) {
        const char c = text[at];
        if (c == '"') {
            skipString(text, at);
            continue;
        }
        ++at;
        if (c == '{' || c == '[') ++depth;
        else if ((c == '}' || c == ']') && --depth == 0) return;
    }
}

// The text of each member of a document that parsed as an object, as it stands in the file; a
// repeated name takes its last value, as in parsing.
std::map<std::string, std::string> memberTexts(std::string_view text) {
    std::map<std::string, std::string> members;
    std::size_t at = 0;
    const auto skipSpace = [&] {
        while (at < text.size() && isJsonSpace(text[at])) ++at;
    };
    skipSpace();
    ++at; // {
    while (true) {
        skipSpace();
        if (at >= text.size() || text[at] != '"') break;
        const std::size_t nameStart = at;
        skipString(text, at);
        std::string name = json::parse(text.substr(nameStart, at - nameStart)).get<std::string>();
        skipSpace();
        ++at; // :
        skipSpace();
        const std::size_t valueStart = at;
        skipValue(text, at);
        members.insert_or_assign(std::move(name), std::string(text.substr(valueStart, at - valueStart)));
        skipSpace();
        if (at >= text.size() || text[at] != ',') break;
        ++at;
    }
    return members;
}

// The document as json::encode writes it, but with some values given as texts of their own.
std::string encodeDocument(const std::map<std::string, std::variant<json::Value, std::string>>& members) {
    if (members.empty()) return json::encode(json::Value::object());
    std::string text = "{";
    for (const auto& [key, member] : members) {
        text += text.size() == 1 ? "\n  " : ",\n  ";
        text += json::encode(json::Value(key));
        text += " : ";
        if (const auto* raw = std::get_if<std::string>(&member)) {
            text += *raw;
            continue;
        }
        // One level deeper than written alone.
        for (const char c : json::encode(std::get<json::Value>(member))) {
            text += c;
            if (c == '\n') text += "  ";
        }
    }
    return text + "\n}";
}

std::chrono::milliseconds& settleTime() {
    static std::chrono::milliseconds time{500};
    return time;
}

struct SharedSuites {
    std::mutex mutex;
    std::map<std::string, std::shared_ptr<UserDefaults>> suites;
};

SharedSuites& sharedSuites() {
    static SharedSuites shared;
    return shared;
}

template <typename T>
std::optional<T> typed(const std::optional<DefaultsValue>& value) {
    if (!value) return std::nullopt;
    if (const T* stored = value->get<T>()) return *stored;
    return std::nullopt;
}

} // namespace

std::shared_ptr<UserDefaults> UserDefaults::suite(const std::string& name) {
    auto& shared = sharedSuites();
    std::lock_guard lock(shared.mutex);
    auto& slot = shared.suites[name];
    if (!slot) {
        slot = std::make_shared<UserDefaults>(name);
        slot->load();
    }
    return slot;
}

std::shared_ptr<UserDefaults> UserDefaults::standard() { return suite(std::string(bundleIdentifier)); }

void UserDefaults::resetSharedSuites() {
    auto& shared = sharedSuites();
    std::lock_guard lock(shared.mutex);
    shared.suites.clear();
}

UserDefaults::UserDefaults(std::string name) : name_(std::move(name)) {
    if (auto folder = folderPath()) path_ = *folder / (name_ + ".json");
}

void UserDefaults::refreshSharedSuites() {
    std::vector<std::shared_ptr<UserDefaults>> suites;
    {
        auto& shared = sharedSuites();
        std::lock_guard lock(shared.mutex);
        for (const auto& entry : shared.suites) suites.push_back(entry.second);
    }
    // Observers run without the list's lock: they may use (or make) suites.
    for (const auto& suite : suites) suite->refresh();
}

std::optional<std::filesystem::path> UserDefaults::folderPath() {
    if (auto folder = files::configDirectory()) return *folder / std::string(bundleIdentifier);
    return std::nullopt;
}

std::filesystem::path UserDefaults::filePath() const { return path_; }

void UserDefaults::load() {
    std::lock_guard lock(mutex_);
    if (path_.empty() || !files::exists(path_)) return;
    readFile(true);
}

void UserDefaults::readFile(bool firstRead) const {
    files::FileContents contents;
    json::Value document;
    // A file that changes while it is read again is rewritten by another program: it may be
    // caught mid-way more than once, but not for ever.
    for (int reads = 1;; ++reads) {
        try {
            contents = files::readRegularFile(path_, files::maximumDefaultsFileSize);
        } catch (const FileError& error) {
            fileIdentity_ = files::identity(path_);
            if (error.kind() == FileError::Kind::noSuchFile) return;
            // What could not be read must not be replaced by what little this process knows.
            diag::printLine(diag::Category::files,
                            "User defaults " + path_.string() +
                                " could not be read and will not be saved: " + error.localizedDescription());
            unsavable_ = "The file “" + path_.filename().string() + "” couldn’t be saved because it couldn’t be read first. " +
                         error.localizedDescription();
            return;
        }
        fileIdentity_ = contents.identity;
        unsavable_.reset();

        std::string problem;
        try {
            document = json::parse(contents.bytes);
            if (!document.is_object()) problem = "the document is not a JSON object";
        } catch (const DecodingError& error) {
            problem = error.debugDescription();
        }
        if (problem.empty()) break;
        if (reads == 10 || !changesBeforeSettling(contents.identity)) {
            setAsideCorruptFile(problem, firstRead);
            return;
        }
    }

    std::map<std::string, DefaultsValue> values;
    std::map<std::string, std::string> unreadable;
    std::optional<std::map<std::string, std::string>> texts;
    for (const auto& [key, tagged] : document.items()) {
        try {
            values.insert_or_assign(key, decodeTagged(tagged));
        } catch (const MalformedValue& error) {
            try {
                unreadable.insert_or_assign(key, json::encode(tagged, json::Style::compact));
            } catch (const EncodingError&) {
                if (!texts) texts = memberTexts(contents.bytes);
                if (const auto text = texts->find(key); text != texts->end()) unreadable.insert_or_assign(key, text->second);
            }
            diag::printLine(diag::Category::files, "User defaults " + path_.string() + ": cannot read the value for key \"" +
                                                       key + "\" (" + error.what() + "); it is kept as it is in the file.");
        }
    }
    values_ = std::move(values);
    unreadable_ = std::move(unreadable);
}

void UserDefaults::setAsideCorruptFile(const std::string& problem, bool firstRead) const {
    std::filesystem::path aside = path_;
    aside += ".corrupt-" + files::backupTimestamp(std::chrono::system_clock::now());
    std::error_code ec;
    std::filesystem::rename(path_, aside, ec);
    if (ec) {
        diag::printLine(diag::Category::files, "User defaults " + path_.string() + " is damaged (" + problem +
                                                   ") and could not be moved to " + aside.string() + " (" + ec.message() +
                                                   "); it will not be saved.");
        unsavable_ = "The file “" + path_.filename().string() +
                     "” couldn’t be saved because it is damaged and could not be moved aside.";
        return;
    }
    fileIdentity_.reset();
    // Damaged by another program while in use: the values read before are still the best known.
    diag::printLine(diag::Category::files, "User defaults " + path_.string() + " is damaged (" + problem + "); moved it to " +
                                               aside.string() +
                                               (firstRead ? " and started empty." : " and kept the values in use."));
}

bool UserDefaults::changesBeforeSettling(const files::FileIdentity& read) const {
    using namespace std::chrono;
    const auto modified = system_clock::time_point(
        duration_cast<system_clock::duration>(seconds(read.modified.tv_sec) + nanoseconds(read.modified.tv_nsec)));
    // Unchanged since its last write for the settle time; the wait itself follows the steady
    // clock, so that a wall clock set back or ahead makes it no longer than that.
    const auto left = std::clamp(duration_cast<steady_clock::duration>(settleTime() - (system_clock::now() - modified)),
                                 steady_clock::duration::zero(), duration_cast<steady_clock::duration>(settleTime()));
    const auto settled = steady_clock::now() + left;
    while (true) {
        if (files::identity(path_) != read) return true;
        if (steady_clock::now() >= settled) return false;
        std::this_thread::sleep_for(milliseconds(5));
    }
}

UserDefaults::SettleTime::SettleTime(std::chrono::milliseconds time) : previous_(settleTime()) { settleTime() = time; }

UserDefaults::SettleTime::~SettleTime() { settleTime() = previous_; }

bool UserDefaults::takeInChangesOfOthers() const {
    std::lock_guard lock(mutex_);
    if (path_.empty()) return false;
    const auto current = files::identity(path_);
    if (current == fileIdentity_) return false;
    if (!current) {
        // Gone (or being replaced): nothing of another program's is left to lose.
        fileIdentity_.reset();
        unsavable_.reset();
        return false;
    }
    std::error_code ec;
    if (std::filesystem::is_directory(path_, ec)) {
        // No write can replace a folder, and each says so.
        fileIdentity_ = current;
        return false;
    }
    const auto values = values_;
    const auto unreadable = unreadable_;
    readFile(false);
    return values != values_ || unreadable != unreadable_;
}

void UserDefaults::refresh() const {
    if (takeInChangesOfOthers()) announce();
}

std::optional<DefaultsValue> UserDefaults::object(const std::string& key) const {
    std::lock_guard lock(mutex_);
    const auto found = values_.find(key);
    if (found == values_.end()) return std::nullopt;
    return found->second;
}

std::optional<bool> UserDefaults::boolean(const std::string& key) const { return typed<bool>(object(key)); }

std::optional<std::int64_t> UserDefaults::integer(const std::string& key) const { return typed<std::int64_t>(object(key)); }

std::optional<double> UserDefaults::doubleValue(const std::string& key) const {
    const auto value = object(key);
    if (!value) return std::nullopt;
    if (const auto* integer = value->get<std::int64_t>()) return static_cast<double>(*integer);
    return typed<double>(value);
}

std::optional<std::string> UserDefaults::string(const std::string& key) const { return typed<std::string>(object(key)); }

std::optional<DefaultsValue::Data> UserDefaults::data(const std::string& key) const {
    return typed<DefaultsValue::Data>(object(key));
}

std::optional<DefaultsValue::Array> UserDefaults::array(const std::string& key) const {
    return typed<DefaultsValue::Array>(object(key));
}

std::optional<DefaultsValue::Dictionary> UserDefaults::dictionary(const std::string& key) const {
    return typed<DefaultsValue::Dictionary>(object(key));
}

std::map<std::string, DefaultsValue> UserDefaults::dictionaryRepresentation() const {
    std::lock_guard lock(mutex_);
    return values_;
}

bool UserDefaults::contains(const std::string& key) const {
    std::lock_guard lock(mutex_);
    return values_.count(key) > 0 || unreadable_.count(key) > 0;
}

std::optional<std::string> UserDefaults::keepUnreadableValueAside(const std::string& key) {
    if (unreadable_.count(key) == 0) return std::nullopt;
    std::filesystem::path aside = path_;
    aside += ".corrupt-" + files::backupTimestamp(std::chrono::system_clock::now());
    try {
        files::copyReplacing(path_, aside);
    } catch (const FileError& error) {
        diag::printLine(diag::Category::files, "User defaults " + path_.string() + ": the value for key \"" + key +
                                                   "\" cannot be read and could not be copied aside (" +
                                                   error.localizedDescription() + "); it is not replaced.");
        return "The value for “" + key + "” in the file “" + path_.filename().string() +
               "” couldn’t be replaced because it couldn’t be read and the file couldn’t be copied aside.";
    }
    diag::printLine(diag::Category::files, "User defaults " + path_.string() + ": the value for key \"" + key +
                                               "\" that could not be read is replaced; the file was copied to " + aside.string() +
                                               ".");
    unreadable_.erase(key);
    return std::nullopt;
}

std::optional<std::string> UserDefaults::set(const std::string& key, DefaultsValue value) {
    refresh();
    {
        std::lock_guard lock(mutex_);
        if (auto refused = keepUnreadableValueAside(key)) return refused;
        values_.insert_or_assign(key, std::move(value));
    }
    return persistAndAnnounce();
}

// The values are taken by value to be moved into the suite: a list of rows can be megabytes.
std::optional<std::string> UserDefaults::set(
    std::map<std::string, DefaultsValue> values) { // NOLINT(performance-unnecessary-value-param)
    if (values.empty()) return std::nullopt;
    refresh();
    {
        std::lock_guard lock(mutex_);
        for (const auto& entry : values)
            if (auto refused = keepUnreadableValueAside(entry.first)) return refused;
        for (auto& [key, value] : values) values_.insert_or_assign(key, std::move(value));
    }
    return persistAndAnnounce();
}

std::optional<std::string> UserDefaults::setIfWritten(
    std::map<std::string, DefaultsValue> values) { // NOLINT(performance-unnecessary-value-param): as set
    if (values.empty()) return std::nullopt;
    refresh();
    {
        std::lock_guard lock(mutex_);
        const auto previousValues = values_;
        const auto previousUnreadable = unreadable_;
        for (const auto& entry : values)
            if (auto refused = keepUnreadableValueAside(entry.first)) {
                unreadable_ = previousUnreadable;
                return refused;
            }
        for (auto& [key, value] : values) values_.insert_or_assign(key, std::move(value));
        if (auto failure = persist()) {
            // The file still holds what was there: so does the suite.
            values_ = previousValues;
            unreadable_ = previousUnreadable;
            return failure;
        }
    }
    announce();
    return std::nullopt;
}

std::optional<std::string> UserDefaults::remove(const std::string& key) {
    refresh();
    {
        std::lock_guard lock(mutex_);
        if (values_.count(key) == 0 && unreadable_.count(key) == 0) return std::nullopt;
        if (auto refused = keepUnreadableValueAside(key)) return refused;
        values_.erase(key);
    }
    return persistAndAnnounce();
}

UserDefaults::ObserverToken UserDefaults::addObserver(Observer observer) {
    std::lock_guard lock(mutex_);
    const ObserverToken token = nextToken_++;
    observers_.emplace(token, std::move(observer));
    return token;
}

void UserDefaults::removeObserver(ObserverToken token) {
    std::lock_guard lock(mutex_);
    observers_.erase(token);
}

std::optional<std::string> UserDefaults::persistAndAnnounce() {
    auto failure = persist();
    announce();
    return failure;
}

std::optional<std::string> UserDefaults::persist() {
    std::optional<std::string> failure;
    {
        // Encoding and writing under the lock keep concurrent writers from landing out of order.
        std::lock_guard lock(mutex_);
        if (unsavable_) {
            failure = unsavable_;
        } else if (path_.empty()) {
            failure = "The user defaults “" + name_ + "” couldn’t be saved because no configuration folder is known.";
        } else {
            // Keys in order, values that could not be read among them as they were read.
            std::map<std::string, std::variant<json::Value, std::string>> members;
            for (const auto& [key, value] : values_) members.emplace(key, encodeTagged(value));
            for (const auto& [key, text] : unreadable_) {
                json::Value value = json::parse(text);
                try {
                    json::encode(value, json::Style::compact);
                    members.emplace(key, std::move(value));
                } catch (const EncodingError&) {
                    members.emplace(key, text); // only its text in the file can carry it
                }
            }
            try {
                const std::string text = encodeDocument(members);
                // A file the store would refuse to read is never written.
                if (text.size() > files::maximumDefaultsFileSize)
                    throw FileError::tooLarge(path_, files::maximumDefaultsFileSize, "save");
                files::writeFileAtomically(path_, text);
                fileIdentity_ = files::identity(path_);
            } catch (const FileError& error) {
                failure = error.localizedDescription();
            } catch (const EncodingError& error) {
                failure = error.localizedDescription();
            }
        }
    }
    return failure;
}

void UserDefaults::announce() const {
    std::vector<ObserverToken> tokens;
    {
        std::lock_guard lock(mutex_);
        tokens.reserve(observers_.size());
        for (const auto& entry : observers_) tokens.push_back(entry.first);
    }
    // Observers run without the lock and may add or remove observers, or change the suite: each
    // is looked up again right before its call, so one removed meanwhile is not called.
    for (const ObserverToken token : tokens) {
        Observer observer;
        {
            std::lock_guard lock(mutex_);
            const auto found = observers_.find(token);
            if (found == observers_.end()) continue;
            observer = found->second;
        }
        observer();
    }
}

} // namespace tavlin
