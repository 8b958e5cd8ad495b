#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/files/Files.h"

namespace tavlin {

// The folders the program reads from and writes to by name.
enum class SearchPathDirectory { applicationSupport };

// File utilities shared by the configuration code.
namespace FileHelper {

std::optional<std::filesystem::path> applicationScriptsDirectory();
// The folder's location with `path` appended; nothing when the folder is not known.
std::optional<std::filesystem::path> url(SearchPathDirectory directory, std::string_view path);
// Writes the text, replacing the file atomically; creates missing parent folders. Throws FileError.
void write(std::string_view text, const std::filesystem::path& url);
// The same for a text made as it is written: `produce` appends it piece by piece. Answers the
// written file's identity (see files::writeFileAtomically).
std::optional<files::FileIdentity> write(const std::function<void(const files::AppendBytes&)>& produce,
                                         const std::filesystem::path& url);
// The same for a folder by name. Throws FileError, also when the folder is not known.
void writeString(std::string_view text, SearchPathDirectory directory, std::string_view path);
// Copies `source` over `destination`; prints why and answers false on failure.
bool replaceItem(const std::filesystem::path& destination, const std::filesystem::path& source);

} // namespace FileHelper

// The whole file, a regular file of at most files::maximumConfigurationFileSize bytes. Throws
// FileError.
std::string readData(const std::filesystem::path& url);

} // namespace tavlin
