#include <gtest/gtest.h>

#include <filesystem>

#include "SandboxTestSupport.h"
#include "platform/files/FileUrl.h"

namespace tavlin {
namespace {

TEST(FileUrlTest, AbsoluteStringEncodesThePathAndMarksFolders) {
    EXPECT_EQ(FileUrl("/a/b c/ü.txt", false).absoluteString(), "file:///a/b%20c/%C3%BC.txt");
    EXPECT_EQ(FileUrl("/x/100%#?", false).absoluteString(), "file:///x/100%25%23%3F");
    EXPECT_EQ(FileUrl("//a///b/", false).absoluteString(), "file:///a/b/");
    EXPECT_EQ(FileUrl("/", false).absoluteString(), "file:///");
    EXPECT_NE(FileUrl("/a/b", false), FileUrl("/a/b", true));
    EXPECT_EQ(FileUrl("/a", false), FileUrl("/a", false).withSecurityScope("/")) << "the scope is no part of identity";
}

TEST(FileUrlTest, ParentsComponentsAndContainment) {
    EXPECT_EQ(FileUrl("/a/b/", false).pathComponents(), (std::vector<std::string>{"/", "a", "b"}));
    EXPECT_EQ(FileUrl("/a", false).deletingLastPathComponent().absoluteString(), "file:///");
    EXPECT_EQ(FileUrl("/", true).deletingLastPathComponent().path(), "/");
    EXPECT_TRUE(FileUrl("/a", true).contains(FileUrl("/a/b/c", false)));
    EXPECT_FALSE(FileUrl("/a", true).contains(FileUrl("/ab", false)));
    EXPECT_EQ(FileUrl("/a/./b/../c", false).standardized().path(), "/a/c");
    EXPECT_EQ(FileUrl("/../..", false).standardized().path(), "/");
}

class FileUrlOnDiskTest : public test::SandboxTest {};

TEST_F(FileUrlOnDiskTest, LinksResolveInTheExistingPartAndFoldersAreFound) {
    makeFolder("real");
    std::filesystem::create_directory_symlink(root_ / "real", root_ / "link");
    EXPECT_EQ(url("link/missing.txt").resolvingSymlinksInPath().path(), url("real/missing.txt").path());
    EXPECT_TRUE(FileUrl::fromPath(url("link").path()).hasDirectoryPath());
    EXPECT_FALSE(FileUrl::fromPath(url("link/missing.txt").path()).hasDirectoryPath());
}

} // namespace
} // namespace tavlin
