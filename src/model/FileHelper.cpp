#include "model/FileHelper.h"

#include "platform/base/Diagnostics.h"
#include "platform/files/Files.h"

namespace tavlin {
namespace {

std::filesystem::path requireURL(SearchPathDirectory directory, std::string_view path) {
    if (auto location = FileHelper::url(directory, path)) return *location;
    throw FileError(FileError::Kind::noSuchFile, std::filesystem::path(path),
                    "The application-support folder is not known: neither XDG_DATA_HOME nor HOME is set.");
}

} // namespace

std::optional<std::filesystem::path> FileHelper::applicationScriptsDirectory() { return files::applicationScriptsDirectory(); }

std::optional<std::filesystem::path> FileHelper::url(SearchPathDirectory directory, std::string_view path) {
    switch (directory) {
    case SearchPathDirectory::applicationSupport:
        if (auto folder = files::applicationSupportDirectory()) return *folder / std::filesystem::path(path);
        return std::nullopt;
    }
    return std::nullopt;
}

void FileHelper::write(std::string_view text, const std::filesystem::path& url) { files::writeFileAtomically(url, text); }

std::optional<files::FileIdentity> FileHelper::write(const std::function<void(const files::AppendBytes&)>& produce,
                                                     const std::filesystem::path& url) {
    return files::writeFileAtomically(url, produce);
}

void FileHelper::writeString(std::string_view text, SearchPathDirectory directory, std::string_view path) {
    write(text, requireURL(directory, path));
}

bool FileHelper::replaceItem(const std::filesystem::path& destination, const std::filesystem::path& source) {
    try {
        files::copyReplacing(source, destination);
        return true;
    } catch (const FileError& error) {
        diag::printLine(diag::Category::files, "Cannot copy item at " + source.string() + " to " + destination.string() + ": " +
                                                   error.localizedDescription());
        return false;
    }
}

std::string readData(const std::filesystem::path& url) { return files::readFile(url, files::maximumConfigurationFileSize); }

} // namespace tavlin
