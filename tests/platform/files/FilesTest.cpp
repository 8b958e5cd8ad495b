#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/files/Files.h"
#include "support/TempHome.h"

namespace tavlin {
namespace {

namespace fs = std::filesystem;
using test::fileContents;
using test::folderEntries;
using test::writeFile;

mode_t permissions(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0);
    return info.st_mode & 07777;
}

FileError fileErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const FileError& error) {
        return error;
    }
    ADD_FAILURE() << "no FileError";
    return {FileError::Kind::other, {}, ""};
}

// Every test runs in a fresh folder that stands in for HOME and the XDG folders.
using FilesTest = test::TempHomeTest;

TEST_F(FilesTest, FoldersComeFromXdgVariablesWhenTheyAreAbsolute) {
    EXPECT_EQ(files::applicationSupportDirectory(), root_ / "data");
    EXPECT_EQ(files::configDirectory(), root_ / "config");

    setenv("XDG_DATA_HOME", "relative/data", 1);
    setenv("XDG_CONFIG_HOME", "", 1);
    EXPECT_EQ(files::applicationSupportDirectory(), root_ / "home" / ".local/share");
    EXPECT_EQ(files::configDirectory(), root_ / "home" / ".config");

    unsetenv("XDG_DATA_HOME");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(files::applicationSupportDirectory(), root_ / "home" / ".local/share");
    EXPECT_EQ(files::configDirectory(), root_ / "home" / ".config");
}

TEST_F(FilesTest, ScriptsFolderIsCreatedWhenMissingAndNothingWhenItCannotBe) {
    const fs::path expected = root_ / "data" / "local.tavlin" / "scripts";
    EXPECT_EQ(files::applicationScriptsDirectory(), expected);
    EXPECT_TRUE(fs::is_directory(expected));
    EXPECT_EQ(files::applicationScriptsDirectory(), expected);

    writeFile(root_ / "blocker", "a file where a folder should be");
    setenv("XDG_DATA_HOME", (root_ / "blocker").c_str(), 1);
    EXPECT_EQ(files::applicationScriptsDirectory(), std::nullopt);
}

TEST_F(FilesTest, AtomicWriteCreatesFoldersReplacesContentAndLeavesNoTemporaryFile) {
    const fs::path folder = root_ / "a" / "b";
    const fs::path file = folder / "configuration.json";
    files::writeFileAtomically(file, "first");
    EXPECT_EQ(fileContents(file), "first");

    const std::string binary("\0\xff\n second, longer", 18);
    // The identity answered is the file's as it is once in place, as later looks at the path see it.
    const auto written = files::writeFileAtomically(file, binary);
    EXPECT_EQ(fileContents(file), binary);
    ASSERT_TRUE(written.has_value());
    EXPECT_TRUE(written == files::identity(file));
    files::writeFileAtomically(file, "");
    EXPECT_EQ(fileContents(file), "");

    EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"configuration.json"});
}

TEST_F(FilesTest, AtomicWriteKeepsPermissionsOfTheFileItReplacesAndHonoursUmaskOtherwise) {
    const fs::path kept = root_ / "private.json";
    writeFile(kept, "old");
    ASSERT_EQ(::chmod(kept.c_str(), 0600), 0);
    files::writeFileAtomically(kept, "new");
    EXPECT_EQ(permissions(kept), 0600u);

    const mode_t previous = ::umask(027);
    files::writeFileAtomically(root_ / "fresh.json", "x");
    ::umask(previous);
    EXPECT_EQ(permissions(root_ / "fresh.json"), 0640u);
}

TEST_F(FilesTest, AtomicWriteThroughASymlinkReplacesItsTargetAndKeepsTheLink) {
    fs::create_directories(root_ / "dotfiles");
    writeFile(root_ / "dotfiles" / "settings.json", "old");
    fs::create_symlink(root_ / "dotfiles" / "settings.json", root_ / "settings.json");

    files::writeFileAtomically(root_ / "settings.json", "new");

    EXPECT_TRUE(fs::is_symlink(root_ / "settings.json"));
    EXPECT_EQ(fileContents(root_ / "dotfiles" / "settings.json"), "new");
    EXPECT_EQ(folderEntries(root_ / "dotfiles"), std::vector<std::string>{"settings.json"});
}

TEST_F(FilesTest, FailedAtomicWriteThrowsAndRemovesItsTemporaryFile) {
    const fs::path folder = root_ / "local.tavlin";
    fs::create_directories(folder / "configuration.json");
    const FileError isFolder = fileErrorOf([&] { files::writeFileAtomically(folder / "configuration.json", "x"); });
    EXPECT_EQ(isFolder.kind(), FileError::Kind::notAFile);
    EXPECT_EQ(isFolder.path(), folder / "configuration.json");
    EXPECT_EQ(isFolder.localizedDescription(), "The file “configuration.json” couldn’t be saved because it is a folder.");
    EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"configuration.json"});

    writeFile(root_ / "plain", "not a folder");
    const FileError underFile = fileErrorOf([&] { files::writeFileAtomically(root_ / "plain" / "x.json", "x"); });
    EXPECT_NE(underFile.localizedDescription().find("“plain”"), std::string::npos) << underFile.localizedDescription();
    EXPECT_EQ(fileContents(root_ / "plain"), "not a folder");
}

// A full disk shows up at the flush, a refused replacement at the rename: either way the old
// content stays, the temporary file goes and the caller hears of it.
TEST_F(FilesTest, AtomicWriteFailingAtFlushOrRenameKeepsTheOldFileAndReports) {
    using Step = files::InjectedWriteFailure::Step;
    const fs::path folder = root_ / "local.tavlin";
    const fs::path path = folder / "settings.json";
    writeFile(path, "old");
    const std::vector<std::function<void()>> writes{
        [&] { files::writeFileAtomically(path, "new"); },
        [&] { files::writeFileAtomically(path, [](const files::AppendBytes& append) { append("new"); }); },
    };
    for (const auto& write : writes) {
        {
            const files::InjectedWriteFailure failure(Step::flush, ENOSPC);
            const FileError error = fileErrorOf(write);
            EXPECT_EQ(error.kind(), FileError::Kind::other);
            EXPECT_EQ(error.path(), path);
            EXPECT_EQ(error.localizedDescription().rfind("The file “settings.json” couldn’t be saved. ", 0), 0u)
                << error.localizedDescription();
        }
        EXPECT_EQ(fileContents(path), "old");
        EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"settings.json"});
        {
            const files::InjectedWriteFailure failure(Step::rename, EACCES);
            EXPECT_EQ(fileErrorOf(write).localizedDescription(),
                      "You don’t have permission to save the file “settings.json” in the folder “local.tavlin”.");
        }
        EXPECT_EQ(fileContents(path), "old");
        EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"settings.json"});
    }
    files::writeFileAtomically(path, "new");
    EXPECT_EQ(fileContents(path), "new") << "the failure ends with its seam";
}

TEST_F(FilesTest, ReadFileAnswersTheBytesOrAnErrorNamingTheFile) {
    const std::string bytes("\0\x01\xfe text", 8);
    writeFile(root_ / "data.bin", bytes);
    EXPECT_EQ(files::readFile(root_ / "data.bin", 1 << 20), bytes);

    const FileError missing = fileErrorOf([&] { files::readFile(root_ / "configuration.json", 1 << 20); });
    EXPECT_EQ(missing.kind(), FileError::Kind::noSuchFile);
    EXPECT_EQ(missing.path(), root_ / "configuration.json");
    EXPECT_EQ(missing.localizedDescription(), "The file “configuration.json” couldn’t be opened because there is no such file.");
    EXPECT_STREQ(missing.what(), missing.localizedDescription().c_str());

    const FileError folder = fileErrorOf([&] { files::readFile(root_, 1 << 20); });
    EXPECT_EQ(folder.kind(), FileError::Kind::notAFile);
}

// A file is taken for what the program would write only when it holds exactly those bytes.
TEST_F(FilesTest, HoldingIsExactlyTheBytesProducedInAnyPieces) {
    const auto holding = [&](const std::string& stored, const std::vector<std::string>& pieces) {
        writeFile(root_ / "made.json", stored);
        return files::identityIfHolding(root_ / "made.json", [&](const std::function<void(std::string_view)>& put) {
            for (const auto& piece : pieces) put(piece);
        });
    };
    const auto held = holding("{\n  \"a\": 1\n}\n", {"{\n  \"a\"", ": 1\n", "}\n"});
    ASSERT_TRUE(held);
    EXPECT_EQ(held, files::identity(root_ / "made.json"));
    EXPECT_FALSE(holding("{\"a\": 1}\n", {"{\"a\": 1}"}));   // longer
    EXPECT_FALSE(holding("{\"a\": 1", {"{\"a\": 1}"}));      // shorter
    EXPECT_FALSE(holding("{\"a\": 2}", {"{\"a\"", ": 1}"})); // one byte differs
    EXPECT_FALSE(holding("", {"x"}));

    const fs::path fifo = root_ / "fifo.json";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const FileError notAFile = fileErrorOf([&] { files::identityIfHolding(fifo, [](const auto&) {}); });
    EXPECT_EQ(notAFile.kind(), FileError::Kind::notAFile);
}

TEST_F(FilesTest, ErrnoValuesMapToKindsAndSentences) {
    const fs::path file = "/somewhere/local.tavlin/configuration.json";
    const FileError denied = FileError::fromErrno(EACCES, file, "save");
    EXPECT_EQ(denied.kind(), FileError::Kind::noPermission);
    EXPECT_EQ(denied.localizedDescription(),
              "You don’t have permission to save the file “configuration.json” in the folder “local.tavlin”.");
    EXPECT_EQ(FileError::fromErrno(EACCES, file, "open").localizedDescription(),
              "The file “configuration.json” couldn’t be opened because you don’t have permission to view it.");
    EXPECT_EQ(FileError::fromErrno(EPERM, file, "save").kind(), FileError::Kind::noPermission);
    EXPECT_EQ(FileError::fromErrno(EROFS, file, "save").kind(), FileError::Kind::noPermission);
    EXPECT_EQ(FileError::fromErrno(ENOENT, file, "open").kind(), FileError::Kind::noSuchFile);
    EXPECT_EQ(FileError::fromErrno(EISDIR, file, "open").kind(), FileError::Kind::notAFile);

    const FileError full = FileError::fromErrno(ENOSPC, "/x/x", "save");
    EXPECT_EQ(full.kind(), FileError::Kind::other);
    EXPECT_EQ(full.localizedDescription(),
              "The file “x” couldn’t be saved. " + std::error_code(ENOSPC, std::generic_category()).message() + ".");
}

TEST_F(FilesTest, CreateDirectoriesMakesParentsAndRefusesAFileInTheWay) {
    files::createDirectories(root_ / "p" / "q" / "r");
    EXPECT_TRUE(fs::is_directory(root_ / "p" / "q" / "r"));
    files::createDirectories(root_ / "p" / "q" / "r");

    writeFile(root_ / "p" / "file", "");
    EXPECT_THROW(files::createDirectories(root_ / "p" / "file"), FileError);
    EXPECT_THROW(files::createDirectories(root_ / "p" / "file" / "below"), FileError);
}

TEST_F(FilesTest, FoldersAreTheUsersOwnWhateverTheUmask) {
    const mode_t previous = ::umask(0);
    files::writeFileAtomically(root_ / "data" / "local.tavlin" / "configuration.json", "{}");
    ::umask(previous);
    for (const fs::path& folder : {root_ / "data", root_ / "data" / "local.tavlin"}) {
        EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all) << folder;
    }
}

TEST_F(FilesTest, ExistsNeverThrows) {
    writeFile(root_ / "file", "");
    EXPECT_TRUE(files::exists(root_ / "file"));
    EXPECT_TRUE(files::exists(root_));
    EXPECT_FALSE(files::exists(root_ / "missing"));
    EXPECT_FALSE(files::exists(root_ / "file" / "below"));
}

TEST_F(FilesTest, CopyReplacingReplacesTheDestinationAndKeepsTheSourcePermissions) {
    writeFile(root_ / "script.sh", "#!/bin/sh\necho new\n");
    ASSERT_EQ(::chmod((root_ / "script.sh").c_str(), 0755), 0);
    fs::create_directories(root_ / "backup");
    writeFile(root_ / "backup" / "script.sh", "old and longer than the new content");

    files::copyReplacing(root_ / "script.sh", root_ / "backup" / "script.sh");
    EXPECT_EQ(fileContents(root_ / "backup" / "script.sh"), "#!/bin/sh\necho new\n");
    EXPECT_EQ(permissions(root_ / "backup" / "script.sh"), 0755u);
    EXPECT_EQ(folderEntries(root_ / "backup"), std::vector<std::string>{"script.sh"});

    files::copyReplacing(root_ / "script.sh", root_ / "new" / "folder" / "copy.sh");
    EXPECT_EQ(fileContents(root_ / "new" / "folder" / "copy.sh"), "#!/bin/sh\necho new\n");
}

TEST_F(FilesTest, CopyReplacingFromAMissingSourceLeavesTheDestinationAlone) {
    writeFile(root_ / "keep.json", "precious");
    const FileError error = fileErrorOf([&] { files::copyReplacing(root_ / "gone.json", root_ / "keep.json"); });
    EXPECT_EQ(error.kind(), FileError::Kind::noSuchFile);
    EXPECT_EQ(error.path(), root_ / "gone.json");
    EXPECT_EQ(fileContents(root_ / "keep.json"), "precious");
}

// A FIFO blocks open() until a writer comes, and a device may never end: reading either must
// fail at once, as must a file over the limit, without reading it.
TEST_F(FilesTest, ReadsRefuseFifosDevicesAndFilesOverTheLimitAtOnce) {
    ASSERT_EQ(::mkfifo((root_ / "fifo.json").c_str(), 0600), 0);
    fs::create_symlink(root_ / "fifo.json", root_ / "link-to-fifo.json");
    fs::create_symlink("/dev/zero", root_ / "zero.json");
    for (const char* name : {"fifo.json", "link-to-fifo.json", "zero.json"}) {
        SCOPED_TRACE(name);
        const FileError error = fileErrorOf([&] { files::readFile(root_ / name, 1 << 20); });
        EXPECT_EQ(error.kind(), FileError::Kind::notAFile);
        EXPECT_EQ(error.localizedDescription(),
                  "The file “" + std::string(name) + "” couldn’t be opened because it is not a regular file.");
        EXPECT_EQ(fileErrorOf([&] { files::readBeginning(root_ / name, 16); }).kind(), FileError::Kind::notAFile);
        EXPECT_EQ(fileErrorOf([&] { files::copyReplacing(root_ / name, root_ / "copy.json"); }).kind(),
                  FileError::Kind::notAFile);
    }
    EXPECT_FALSE(fs::exists(root_ / "copy.json"));

    writeFile(root_ / "limit.json", std::string(1000, 'x'));
    EXPECT_EQ(files::readFile(root_ / "limit.json", 1000).size(), 1000u);
    const FileError over = fileErrorOf([&] { files::readFile(root_ / "limit.json", 999); });
    EXPECT_EQ(over.kind(), FileError::Kind::tooLarge);
    EXPECT_EQ(over.localizedDescription(), "The file “limit.json” couldn’t be opened because it is larger than 999 bytes.");
    EXPECT_EQ(files::readBeginning(root_ / "limit.json", 10), std::string(10, 'x'));

    // A sparse file far over the configuration limit is refused from its size alone.
    { std::ofstream create(root_ / "huge.json"); }
    fs::resize_file(root_ / "huge.json", files::maximumConfigurationFileSize + 1);
    EXPECT_EQ(
        fileErrorOf([&] { files::readFile(root_ / "huge.json", files::maximumConfigurationFileSize); }).localizedDescription(),
        "The file “huge.json” couldn’t be opened because it is larger than 128 MB.");
}

TEST_F(FilesTest, ContentsComeWithTheIdentityOfTheFileTheyWereReadFrom) {
    writeFile(root_ / "a.json", "first");
    const auto read = files::readRegularFile(root_ / "a.json", 100);
    EXPECT_EQ(read.bytes, "first");
    EXPECT_EQ(files::identity(root_ / "a.json"), read.identity);

    files::writeFileAtomically(root_ / "a.json", "other");
    EXPECT_NE(files::identity(root_ / "a.json"), read.identity); // same size, another file
    EXPECT_EQ(files::identity(root_ / "missing.json"), std::nullopt);
}

TEST_F(FilesTest, OnlyStaleTemporaryFilesOfOurOwnNamingAreRemoved) {
    const auto age = [&](const std::string& name, std::chrono::seconds old) {
        const auto time = fs::file_time_type::clock::now() - old;
        fs::last_write_time(root_ / name, time);
    };
    const std::vector<std::string> ours{".configuration.json.Ab3xYz", ".local.tavlin.app.json.000000"};
    for (const auto& name : ours) {
        writeFile(root_ / name, "cut short");
        age(name, std::chrono::seconds(600));
    }
    writeFile(root_ / ".configuration.json.Fresh1", "still being written");
    const std::vector<std::string> notOurs{".notes.txt.Ab3xYz", ".configuration.json.Ab3xY", "configuration.json.Ab3xYz",
                                           ".configuration.json.Ab-xYz", ".json.Ab3xYz"};
    for (const auto& name : notOurs) {
        writeFile(root_ / name, "someone else's");
        age(name, std::chrono::seconds(600));
    }
    fs::create_directories(root_ / ".folder.json.Ab3xYz");
    fs::create_symlink("/dev/null", root_ / ".link.json.Ab3xYz");
    writeFile(root_ / "configuration.json", "kept");

    EXPECT_EQ(files::removeStaleTemporaryFiles(root_, ".json", std::chrono::seconds(60)), ours.size());
    std::vector<std::string> expected = notOurs;
    expected.insert(expected.end(),
                    {".configuration.json.Fresh1", ".folder.json.Ab3xYz", ".link.json.Ab3xYz", "configuration.json", "home"});
    std::vector<std::string> left = folderEntries(root_);
    std::sort(expected.begin(), expected.end());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, expected);
    EXPECT_EQ(files::removeStaleTemporaryFiles(root_ / "missing", ".json", std::chrono::seconds(60)), 0u);
}

// Sets TZ for one test and puts the previous zone back.
class BackupTimestamp : public ::testing::Test {
protected:
    void TearDown() override {
        zone_.restore();
        ::tzset();
    }

    static std::string at(const char* zone, std::chrono::system_clock::time_point time) {
        setenv("TZ", zone, 1);
        return files::backupTimestamp(time);
    }

private:
    test::SavedEnvironment zone_{"TZ"};
};

using namespace std::chrono_literals;

// 2024-03-05 13:03:07.250 UTC.
const std::chrono::system_clock::time_point instant = std::chrono::system_clock::time_point(1709643787s) + 250ms;

TEST_F(BackupTimestamp, ShowsLocalTimeWithMillisecondsAndTheZoneOffset) {
    EXPECT_EQ(at("CET-1", instant), "2024-03-05_14-03-07.250+0100");
    EXPECT_EQ(at("EST5", instant), "2024-03-05_08-03-07.250-0500");
    EXPECT_EQ(at("UTC0", instant), "2024-03-05_13-03-07.250+0000");
}

TEST_F(BackupTimestamp, OffsetsWithMinutesKeepTheirSignAndMinutes) {
    EXPECT_EQ(at("IST-5:30", instant), "2024-03-05_18-33-07.250+0530");
    EXPECT_EQ(at("NST3:30", instant), "2024-03-05_09-33-07.250-0330");
}

TEST_F(BackupTimestamp, PadsMillisecondsAndCrossesDatesInTheLocalZone) {
    const auto nearMidnight = std::chrono::system_clock::time_point(1709683199s) + 5ms; // 2024-03-05 23:59:59.005 UTC
    EXPECT_EQ(at("UTC0", nearMidnight), "2024-03-05_23-59-59.005+0000");
    EXPECT_EQ(at("CET-1", nearMidnight), "2024-03-06_00-59-59.005+0100");
    EXPECT_EQ(at("UTC0", std::chrono::system_clock::time_point(-1ms)), "1969-12-31_23-59-59.999+0000");
}

} // namespace
} // namespace tavlin
