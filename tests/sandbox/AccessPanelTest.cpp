#include <gtest/gtest.h>

#include <filesystem>

#include "SandboxTestSupport.h"
#include "sandbox/ScopedFileAccess.h"

namespace tavlin::sandbox {
namespace {

class AccessPanelTest : public test::SandboxTest {
protected:
    ScopedFileAccess access_;
};

TEST_F(AccessPanelTest, ExistingFileOpensAtTheFileAndEnablesOnlyItsPath) {
    auto file = makeFile("docs/a.txt");
    auto request = access_.requestPermission(file);
    const auto& shown = request.panel->configuration;
    EXPECT_EQ(shown.title, "Allow Access");
    EXPECT_EQ(shown.prompt, "Allow");
    EXPECT_EQ(shown.message, "tavlin needs to access 'a.txt' to continue. Click Allow to continue.");
    EXPECT_TRUE(shown.canChooseFiles && shown.canChooseDirectories);
    EXPECT_FALSE(shown.canCreateDirectories || shown.allowsMultipleSelection || shown.showsHiddenFiles);
    EXPECT_EQ(shown.directoryURL, file);

    auto& delegate = *request.delegate;
    EXPECT_TRUE(delegate.shouldEnable(file));
    EXPECT_TRUE(delegate.shouldEnable(url("docs", true)));
    EXPECT_TRUE(delegate.shouldEnable(FileUrl("/", true)));
    EXPECT_FALSE(delegate.shouldEnable(url("docs/b.txt")));
    EXPECT_FALSE(delegate.shouldEnable(url("DOCS", true))) << "compared case-sensitively";
    EXPECT_FALSE(delegate.shouldEnable(url("docs/a.txt/inner")));
    EXPECT_EQ(delegate.validate(url("docs")), std::nullopt);
    EXPECT_EQ(delegate.validate(url("docs/b.txt")), "Please allow the originally requested location");
}

TEST_F(AccessPanelTest, FolderAndMissingPathsLetOnlyFoldersBeChosen) {
    auto folder = makeFolder("docs");
    auto forFolder = access_.requestPermission(folder);
    EXPECT_FALSE(forFolder.panel->configuration.canChooseFiles);
    EXPECT_FALSE(forFolder.delegate->shouldEnable(url("docs/inside.txt")));

    auto forMissing = access_.requestPermission(url("docs/not/yet.txt"));
    EXPECT_FALSE(forMissing.panel->configuration.canChooseFiles);
    EXPECT_EQ(forMissing.panel->configuration.directoryURL, folder) << "the nearest existing parent";
    EXPECT_TRUE(forMissing.delegate->shouldEnable(folder));
}

TEST_F(AccessPanelTest, MessageComesFromTheSetTextOrTheResolvedName) {
    makeFile("real.txt");
    std::filesystem::create_symlink(root_ / "real.txt", root_ / "link.txt");
    access_.access(url("link.txt"), Permissions::bookmark, true, WindowHandle{1}, true, [](const Result<AccessInfo>&) {});
    ASSERT_EQ(panels_->shown.size(), 1u);
    EXPECT_EQ(panels_->shown[0].message, "tavlin needs to access 'real.txt' to continue. Click Allow to continue.");

    setMainBundleNames({"Tavlin Launcher", "tavlin"});
    EXPECT_EQ(access_.panelMessage(url("x")), "Tavlin Launcher needs to access 'x' to continue. Click Allow to continue.");
    setMainBundleNames({});
    EXPECT_EQ(access_.panelMessage(url("x")), "This App needs to access 'x' to continue. Click Allow to continue.");

    access_.setMessage("Custom");
    EXPECT_EQ(access_.requestPermission(url("x")).panel->configuration.message, "Custom");
}

} // namespace
} // namespace tavlin::sandbox
