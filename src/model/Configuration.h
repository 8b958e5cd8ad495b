#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/Decision.h"
#include "model/FileHelper.h"
#include "model/FlatKeysAndActionRow.h"
#include "model/HotKey.h"
#include "platform/base/Result.h"
#include "platform/files/Files.h"

namespace tavlin {

// The stored root: the leader keys and the decision tree, and who made it.
class Configuration {
public:
    using HotKey = tavlin::HotKey;

    // What loadOrCreate may write the default configuration for.
    enum CreateOptions : unsigned {
        ifMissing = 1, // there is no file
        ifInvalid = 2, // the file cannot be read or decoded
    };

    // "flat_rows" for a configuration generated from the flat rows; absent for a hand-made one.
    std::optional<std::string> authorInfo;
    std::vector<HotKey> hotKeys;
    DecisionPtr decision;

    Configuration(std::optional<std::string> authorInfo, std::vector<HotKey> hotKeys, DecisionPtr decision)
        : authorInfo(std::move(authorInfo)), hotKeys(std::move(hotKeys)), decision(std::move(decision)) {}

    bool isGenerated() const { return authorInfo && authorInfo->find("flat_rows") != std::string::npos; }

    // "local.tavlin/configuration.json": the file's path inside the application-support folder.
    static const std::string& relativePath();
    static std::optional<std::filesystem::path> fileURL();

    json::Value toJson() const;
    void writeJson(json::Sink& sink) const;
    static std::shared_ptr<Configuration> fromJson(const JsonReader& reader);
    // The pretty JSON text the file holds.
    std::string encodedText() const;

    // Writes the file atomically and answers the identity of the file written (see
    // files::writeFileAtomically). Throws EncodingError or FileError (also when the folder is not
    // known).
    std::optional<files::FileIdentity> write(SearchPathDirectory directory, const std::string& path) const;
    // The identity of the file at `url` when it holds exactly the text write() would write (its
    // identifiers are never stored, so such a file decodes to this configuration). Compared as
    // it is encoded, neither text held whole. Throws FileError.
    std::optional<files::FileIdentity> identityOfFileHoldingIt(const std::filesystem::path& url) const;

    // Whether the file was generated from the flat rows: it loads as a generated configuration,
    // or it does not load but its text begins with the generated mark.
    static bool fileIsGenerated();
    // Whether a file's text begins as a generated file's does, read without parsing the rest.
    static bool textCarriesGeneratedMark(std::string_view text);

    // Reads the file, writing the default configuration where the options say so.
    static Result<std::shared_ptr<Configuration>> loadOrCreate(unsigned options);
    // Copies the file into backup/configuration_<timestamp>.json beside it and lets the older
    // copies go that are no longer kept (ConfigurationBackups.h). Never fails outward.
    static void backUpConfigurationFile();
    static std::optional<std::filesystem::path> makeBackupFolder();
    // Start-up upgrade: renames the old action-kind name and converts the older format.
    static void upgradeFileIfNeeded();
    static void convertOldFormat();

    // Generation of the configuration from the flat key-binding rows.
    struct WritingFlatRowsPreferencesToTavlinJSON {
        // Reads the stored rows and writes the generated configuration; a failed write ends in
        // an alert.
        static void migrate();
        // Generates the file again only when what it is made from (the stored rows, the order of
        // keys) changed since it was last generated or checked, or the file is not what they
        // make; sessions store other values in the rows' suite. A file that is already what the
        // rows make is kept, unwritten, as the decoded configuration. Answers whether it wrote.
        static bool migrateIfChanged();
        // Start-up: a generated file that is what the stored rows make needs no upgrade and no
        // decoding; it is kept as the decoded configuration. Answers whether it was.
        static bool adoptFileIfCurrent();
        // Whether the file is still the one this process last generated or found current.
        static bool fileUnchangedSinceGenerated();
        // The configuration the rows compile to (only enabled rows take part).
        static std::shared_ptr<Configuration> configuration(const std::vector<FlatKeysAndActionRow>& rows);
    };
};

// The previous file format: hot keys as plain key code and modifier pairs.
struct OldConfiguration {
    struct OldHotKey {
        std::uint32_t keyCode = 0;
        std::uint32_t modifiersCode = 0;
    };
    std::vector<OldHotKey> hotKeys;
    DecisionPtr decision;

    static OldConfiguration fromJson(const JsonReader& reader);
};

// Read and decode the file at folder + path. Throw FileError or DecodingError. The configuration
// is decoded once per version of the file and shared (see DecodedConfiguration.h): never change it.
std::shared_ptr<Configuration> loadConfiguration(SearchPathDirectory directory, const std::string& path);
OldConfiguration loadOldConfiguration(SearchPathDirectory directory, const std::string& path);

} // namespace tavlin
