#include <gtest/gtest.h>

#include <cstdlib>

#include <sys/stat.h>

#include "actionediting/core/PathChooserSettings.h"
#include "model/FileHelper.h"
#include "support/TempHome.h"

namespace tavlin {
namespace {

using namespace test;

class PathChooserSettingsTest : public TempHomeTest {};

TEST_F(PathChooserSettingsTest, EachKindHasItsPanel) {
    const auto home = std::filesystem::path(std::getenv("HOME"));
    const auto file = pathChooserSettings(PathChooserKind::file);
    EXPECT_EQ(file.title, "Choose File");
    EXPECT_EQ(file.startFolder, home);
    EXPECT_TRUE(file.canChooseFiles && !file.canChooseDirectories);
    EXPECT_EQ(file.prompt, "Choose");
    EXPECT_EQ(file.nameFieldLabel, "Choose:");
    EXPECT_TRUE(file.showsHiddenFiles && file.canCreateDirectories && file.extensionHidden);
    const auto folder = pathChooserSettings(PathChooserKind::folder);
    EXPECT_EQ(folder.title, "Choose Folder");
    EXPECT_TRUE(!folder.canChooseFiles && folder.canChooseDirectories);
    EXPECT_EQ(pathChooserSettings(PathChooserKind::executable).startFolder, std::filesystem::path("/"));
    EXPECT_EQ(pathChooserSettings(PathChooserKind::executable).title, "Choose Executable File");
    const auto script = pathChooserSettings(PathChooserKind::appleScript);
    EXPECT_EQ(script.title, "Choose Script");
    EXPECT_EQ(script.startFolder, FileHelper::applicationScriptsDirectory());
    EXPECT_EQ(script.message, "Your scripts live in " + FileHelper::applicationScriptsDirectory()->string());
    EXPECT_FALSE(file.message);

    const auto data = home / "data";
    std::filesystem::create_directories(data / "none");
    std::filesystem::create_directories(data / "second" / "applications");
    setenv("XDG_DATA_DIRS", ((data / "none").string() + "::" + (data / "second").string()).c_str(), 1);
    const auto application = pathChooserSettings(PathChooserKind::application);
    EXPECT_EQ(application.title, "Choose Application");
    EXPECT_EQ(application.startFolder, data / "second" / "applications");
}

TEST_F(PathChooserSettingsTest, ContentTypesAreOfferedAndCheckedAgain) {
    const auto home = std::filesystem::path(std::getenv("HOME"));
    writeFile(home / "tool", "#!/bin/sh\n");
    ::chmod((home / "tool").c_str(), 0755);
    writeFile(home / "editor.desktop", "[Desktop Entry]\n");
    writeFile(home / "notes.txt", "x");
    EXPECT_TRUE(pathChooserOffers(PathChooserKind::application, home / "tool"));
    EXPECT_TRUE(pathChooserOffers(PathChooserKind::application, home / "editor.desktop"));
    EXPECT_FALSE(pathChooserOffers(PathChooserKind::application, home / "notes.txt"));
    EXPECT_TRUE(pathChooserOffers(PathChooserKind::application, home));
    EXPECT_FALSE(pathChooserOffers(PathChooserKind::appleScript, home / "editor.desktop"));
    EXPECT_TRUE(pathChooserOffers(PathChooserKind::appleScript, home / "tool"));
    EXPECT_TRUE(pathChooserOffers(PathChooserKind::file, home / "notes.txt"));

    EXPECT_FALSE(pathChooserRefusal(PathChooserKind::appleScript, home / "tool"));
    EXPECT_TRUE(pathChooserRefusal(PathChooserKind::appleScript, home / "notes.txt"));
    const auto broken = home / std::string("bad\xff name");
    writeFile(broken, "x");
    EXPECT_TRUE(pathChooserRefusal(PathChooserKind::file, broken));
    EXPECT_FALSE(pathChooserRefusal(PathChooserKind::file, home / "with blank\nand newline"));
}

} // namespace
} // namespace tavlin

namespace tavlin::flateditor {
namespace {

using Kind = PathChooserKind;

class ChooserSettingsTest : public test::TempHomeTest {};

TEST_F(ChooserSettingsTest, eachKindHasItsTextsAndFolder) {
    const auto file = pathChooserSettings(Kind::file);
    EXPECT_EQ(file.title, "Choose File");
    EXPECT_TRUE(file.canChooseFiles);
    EXPECT_FALSE(file.canChooseDirectories);
    EXPECT_EQ(file.startFolder, tempHome().home());
    EXPECT_EQ(file.prompt, "Choose");
    EXPECT_TRUE(file.showsHiddenFiles && file.extensionHidden && file.canCreateDirectories);

    const auto folder = pathChooserSettings(Kind::folder);
    EXPECT_EQ(folder.title, "Choose Folder");
    EXPECT_FALSE(folder.canChooseFiles);
    EXPECT_TRUE(folder.canChooseDirectories);

    const auto executable = pathChooserSettings(Kind::executable);
    EXPECT_EQ(executable.title, "Choose Executable File");
    EXPECT_EQ(executable.startFolder, "/");
    EXPECT_FALSE(executable.message);

    const auto script = pathChooserSettings(Kind::appleScript);
    const auto scripts = FileHelper::applicationScriptsDirectory();
    ASSERT_TRUE(scripts);
    EXPECT_EQ(script.title, "Choose Script");
    EXPECT_EQ(script.startFolder, *scripts);
    EXPECT_EQ(script.message, "Your scripts live in " + scripts->string());
}

TEST_F(ChooserSettingsTest, onlyFileUrlsChooseTheStartingFolder) {
    EXPECT_EQ(chooserFolder(std::string("file:///tmp/some%20folder/")), std::filesystem::path("/tmp/some folder"));
    EXPECT_FALSE(chooserFolder(std::string("https://example.com/folder/")));
    EXPECT_FALSE(chooserFolder(std::nullopt));
}

TEST_F(ChooserSettingsTest, theDelegateOffersWhatTheKindChooses) {
    const auto folder = root_ / "f";
    std::filesystem::create_directories(folder);
    test::writeFile(folder / "tool", "#!/bin/sh\n");
    std::filesystem::permissions(folder / "tool", std::filesystem::perms::owner_all);
    test::writeFile(folder / "notes.txt", "x");
    test::writeFile(folder / "app.desktop", "[Desktop Entry]\n");
    EXPECT_TRUE(pathChooserOffers(Kind::appleScript, folder / "tool"));
    EXPECT_FALSE(pathChooserOffers(Kind::appleScript, folder / "notes.txt"));
    EXPECT_TRUE(pathChooserOffers(Kind::appleScript, folder));
    EXPECT_TRUE(pathChooserOffers(Kind::application, folder / "app.desktop"));
    EXPECT_FALSE(pathChooserOffers(Kind::application, folder / "notes.txt"));
}

} // namespace
} // namespace tavlin::flateditor
