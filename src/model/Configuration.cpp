#include "model/Configuration.h"

#include <chrono>
#include <functional>
#include <system_error>

#include "model/ConfigurationBackups.h"
#include "model/DecodedConfiguration.h"
#include "model/LeaderKeyCache.h"
#include "platform/base/Diagnostics.h"
#include "platform/files/Files.h"
#include "platform/json/JsonSink.h"
#include "platform/text/Strings.h"
#include "platform/text/Unicode.h"

namespace tavlin {
namespace {

std::filesystem::path locate(SearchPathDirectory directory, const std::string& path) {
    if (auto url = FileHelper::url(directory, path)) return *url;
    throw FileError(FileError::Kind::noSuchFile, path,
                    "The application-support folder is not known: neither XDG_DATA_HOME nor HOME is set.");
}

bool isOldFormatError(const DecodingError& error) {
    return error.kind() == DecodingError::Kind::typeMismatch && error.type() == "Configuration.HotKey";
}

} // namespace

const std::string& Configuration::relativePath() {
    static const std::string path = std::string(bundleIdentifier) + "/configuration." + "json";
    return path;
}

std::optional<std::filesystem::path> Configuration::fileURL() {
    return FileHelper::url(SearchPathDirectory::applicationSupport, relativePath());
}

json::Value Configuration::toJson() const {
    json::ValueBuilder builder;
    writeJson(builder);
    return builder.take();
}

void Configuration::writeJson(json::Sink& sink) const {
    sink.beginObject();
    if (authorInfo) sink.member("authorInfo", *authorInfo);
    sink.key("hotKeys");
    sink.beginArray();
    for (const auto& hotKey : hotKeys) hotKey.writeJson(sink);
    sink.endArray();
    sink.key("decision");
    decision->writeJson(sink);
    sink.endObject();
}

std::shared_ptr<Configuration> Configuration::fromJson(const JsonReader& reader) {
    reader.requireObject("Configuration");
    auto authorInfo = reader.optionalStringMember("authorInfo");
    std::vector<HotKey> hotKeys;
    for (const auto& element : reader.member("hotKeys", "Array").elements()) hotKeys.push_back(HotKey::fromJson(element));
    auto decision = Decision::fromJson(reader.member("decision", "Decision"));
    return std::make_shared<Configuration>(std::move(authorInfo), std::move(hotKeys), std::move(decision));
}

std::string Configuration::encodedText() const {
    return json::encodeFrom([this](json::Sink& sink) { writeJson(sink); }, json::Style::pretty);
}

std::optional<files::FileIdentity> Configuration::write(SearchPathDirectory directory, const std::string& path) const {
    const auto produce = [this](json::Sink& sink) { writeJson(sink); };
    // An encoding error is the one to report, before the file is looked for or touched; then the
    // text streams into the file as it is written, never held whole.
    json::checkEncodable(produce);
    const auto url = locate(directory, path);
    // Nothing the reader would refuse is written: a text over the size limit ends the write
    // before the file is replaced.
    const auto stream = [&produce, &url](const files::AppendBytes& append) {
        std::uint64_t written = 0;
        json::encodeTo(produce, [&](std::string_view bytes) {
            written += bytes.size();
            if (written > files::maximumConfigurationFileSize)
                throw FileError::tooLarge(url, files::maximumConfigurationFileSize, "save");
            append(bytes);
        });
    };
    const auto identity = FileHelper::write(stream, url);
    decodedConfiguration::forget();
    return identity;
}

std::optional<files::FileIdentity> Configuration::identityOfFileHoldingIt(const std::filesystem::path& url) const {
    return files::identityIfHolding(url, [this](const std::function<void(std::string_view)>& consume) {
        json::encodeTo([this](json::Sink& sink) { writeJson(sink); }, consume, json::Style::pretty);
    });
}

OldConfiguration OldConfiguration::fromJson(const JsonReader& reader) {
    reader.requireObject("OldConfiguration");
    OldConfiguration old;
    for (const auto& element : reader.member("hotKeys", "Array").elements()) {
        element.requireObject("OldHotKey");
        old.hotKeys.push_back({element.member("keyCode", "UInt32").uint32(), element.member("modifiersCode", "UInt32").uint32()});
    }
    old.decision = Decision::fromJson(reader.member("decision", "Decision"));
    return old;
}

std::shared_ptr<Configuration> loadConfiguration(SearchPathDirectory directory, const std::string& path) {
    return decodedConfiguration::load(locate(directory, path));
}

OldConfiguration loadOldConfiguration(SearchPathDirectory directory, const std::string& path) {
    const std::string bytes = readData(locate(directory, path));
    return decodeJson(bytes, [](const JsonReader& reader) { return OldConfiguration::fromJson(reader); });
}

Result<std::shared_ptr<Configuration>> Configuration::loadOrCreate(unsigned options) {
    cachedLeaderKeys().reset();
    const auto writeDefault = [&]() -> Result<std::shared_ptr<Configuration>> {
        auto configuration = std::make_shared<Configuration>(std::nullopt, std::vector<HotKey>{}, Decision::example());
        try {
            configuration->write(SearchPathDirectory::applicationSupport, relativePath());
        } catch (...) {
            return std::current_exception();
        }
        cachedLeaderKeys().reset();
        backUpConfigurationFile();
        return configuration;
    };
    const auto url = fileURL();
    if ((options & ifMissing) && url && !files::exists(*url)) return writeDefault();
    try {
        return loadConfiguration(SearchPathDirectory::applicationSupport, relativePath());
    } catch (...) {
        if (options & ifInvalid) return writeDefault();
        return std::current_exception();
    }
}

bool Configuration::textCarriesGeneratedMark(std::string_view text) {
    // Our writer puts "authorInfo" first; a file whose text begins otherwise is not known to be
    // ours and is left alone.
    std::size_t at = 0;
    const auto skipSpace = [&] {
        while (at < text.size() && (text[at] == ' ' || text[at] == '\n' || text[at] == '\r' || text[at] == '\t')) ++at;
    };
    const auto expect = [&](std::string_view word) {
        skipSpace();
        if (text.substr(at, word.size()) != word) return false;
        at += word.size();
        return true;
    };
    if (!expect("{") || !expect("\"authorInfo\"") || !expect(":")) return false;
    skipSpace();
    if (at >= text.size() || text[at] != '"') return false;
    std::size_t end = at + 1;
    while (end < text.size() && text[end] != '"') end += text[end] == '\\' ? 2 : 1;
    if (end >= text.size()) return false;
    try {
        const json::Value author = json::parse(text.substr(at, end + 1 - at));
        return author.is_string() && author.get_ref<const std::string&>().find("flat_rows") != std::string::npos;
    } catch (const DecodingError&) {
        return false;
    }
}

bool Configuration::fileIsGenerated() {
    if (WritingFlatRowsPreferencesToTavlinJSON::fileUnchangedSinceGenerated()) return true;
    try {
        return loadConfiguration(SearchPathDirectory::applicationSupport, relativePath())->isGenerated();
    } catch (const std::exception&) {
    }
    // A generated file that no longer loads (written by an older version, cut short, too large)
    // is still regenerated, or every session would fail until the user deleted it.
    const auto url = fileURL();
    if (!url) return false;
    try {
        return textCarriesGeneratedMark(files::readBeginning(*url, 4096));
    } catch (const FileError&) {
        return false;
    }
}

std::optional<std::filesystem::path> Configuration::makeBackupFolder() {
    const auto url = fileURL();
    if (!url) return std::nullopt;
    const auto folder = url->parent_path() / "backup";
    // A plain file named "backup" is not the folder: creating it fails and there is no backup.
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) {
        try {
            files::createDirectories(folder);
        } catch (const FileError& error) {
            diag::printLine(diag::Category::files, error.localizedDescription());
            return std::nullopt;
        }
    }
    return folder;
}

void Configuration::backUpConfigurationFile() {
    const auto url = fileURL();
    if (!url || !files::exists(*url)) return;
    const auto folder = makeBackupFolder();
    if (!folder) return;
    const auto now = std::chrono::system_clock::now();
    const auto destination = *folder / ("configuration_" + files::backupTimestamp(now) + ".json");
    if (FileHelper::replaceItem(destination, *url)) pruneConfigurationBackups(*folder, now);
}

void Configuration::upgradeFileIfNeeded() {
    const auto url = fileURL();
    if (!url || !files::exists(*url)) return;
    if (WritingFlatRowsPreferencesToTavlinJSON::adoptFileIfCurrent()) return;
    files::FileContents contents;
    try {
        contents = files::readRegularFile(*url, files::maximumConfigurationFileSize);
    } catch (const FileError& error) {
        diag::printLine(diag::Category::files, error.localizedDescription());
        return;
    }
    const std::string& bytes = contents.bytes;
    bool rewritten = false;
    if (unicode::isValidUtf8(bytes) && bytes.find("togglePreferencesWindow") != std::string::npos) {
        try {
            FileHelper::writeString(replacingOccurrences(bytes, "togglePreferencesWindow", "toggleConfigurationWindow"),
                                    SearchPathDirectory::applicationSupport, relativePath());
            decodedConfiguration::forget();
            rewritten = true;
        } catch (const FileError& error) {
            diag::printLine(diag::Category::files, error.localizedDescription());
            return;
        }
    }
    try {
        // The bytes just read are decoded and kept, so that start-up reads the file once.
        if (rewritten) loadConfiguration(SearchPathDirectory::applicationSupport, relativePath());
        else decodedConfiguration::decode(*url, contents);
    } catch (const DecodingError& error) {
        if (isOldFormatError(error)) convertOldFormat();
    } catch (const std::exception&) {
        // Other failures are reported by the loads that follow.
    }
}

void Configuration::convertOldFormat() {
    OldConfiguration old;
    try {
        old = loadOldConfiguration(SearchPathDirectory::applicationSupport, relativePath());
    } catch (const std::exception& error) {
        diag::printLine(diag::Category::files, localizedDescription(error));
        return;
    }
    std::vector<HotKey> hotKeys;
    for (const auto& key : old.hotKeys) hotKeys.push_back(HotKey::combo(key.keyCode, key.modifiersCode));
    const Configuration converted(std::nullopt, std::move(hotKeys), old.decision);
    try {
        converted.write(SearchPathDirectory::applicationSupport, relativePath());
    } catch (const std::exception& error) {
        diag::printLine(diag::Category::files, localizedDescription(error));
        return;
    }
    cachedLeaderKeys().reset();
    backUpConfigurationFile();
}

} // namespace tavlin
