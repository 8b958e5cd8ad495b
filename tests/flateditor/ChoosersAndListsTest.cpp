#include <gtest/gtest.h>

#include "actionediting/core/PathChooserSettings.h"
#include "flateditor/DisabledApplicationsList.h"
#include "model/FileHelper.h"
#include "support/TempHome.h"

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

TEST(DisabledApplicationsList, selectionFollowsEdits) {
    DisabledApplicationsList empty({});
    EXPECT_FALSE(empty.selectedPath);
    empty.removeSelected();
    EXPECT_TRUE(empty.applicationPaths.empty());

    DisabledApplicationsList list({"/a", "/b", "/c"});
    EXPECT_EQ(list.selectedPath, "/a");
    list.selectedPath = "/b";
    list.removeSelected();
    EXPECT_EQ(list.selectedPath, "/c"); // the row that followed
    list.removeSelected();
    EXPECT_EQ(list.selectedPath, "/a"); // the new last row
    list.removeSelected();
    EXPECT_FALSE(list.selectedPath);

    DisabledApplicationsList chosen({"/apps/a.desktop"});
    chosen.addChosen("/apps/a.desktop");
    EXPECT_EQ(chosen.applicationPaths.size(), 1u);
    chosen.addChosen("/other/b.desktop");
    EXPECT_EQ(chosen.applicationPaths.back(), "/other/b.desktop");
    EXPECT_EQ(chosen.selectedPath, "/other/b.desktop");
    EXPECT_EQ(chosen.chooserDirectory(), "file:///other/");
}

TEST(DisabledApplicationsList, doneStoresEachPathOnceInListOrder) {
    DisabledApplicationsList list({"/b"});
    list.addSuggestion("/a");
    list.addSuggestion("/a");
    list.addSuggestion("/b");
    EXPECT_EQ(list.applicationPaths.size(), 4u);
    EXPECT_EQ(list.selectedPath, "/b");
    EXPECT_EQ(list.pathsToStore(), (std::vector<std::string>{"/b", "/a"}));
}

} // namespace
} // namespace tavlin::flateditor
