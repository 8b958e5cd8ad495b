#include <gtest/gtest.h>

#include "flateditor/DisabledApplicationsList.h"
#include "model/FileHelper.h"
#include "support/TempHome.h"

namespace tavlin::flateditor {
namespace {

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
