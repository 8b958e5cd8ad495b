#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LinuxTestSupport.h"
#include "platform/linux/XdgPaths.h"

namespace tavlin::xdg {
namespace {

using namespace test;

TEST(FileUrls, GiveTheirLocalPath) {
    EXPECT_EQ(localPathOfFileUrl("file:///home/a%20b/%C3%A9.txt"), "/home/a b/\xC3\xA9.txt");
    EXPECT_EQ(localPathOfFileUrl("FILE://localhost/x"), "/x");
    EXPECT_EQ(localPathOfFileUrl("file:/x/y/"), "/x/y/");
    EXPECT_EQ(localPathOfFileUrl("file:///x?query#fragment"), "/x");
    EXPECT_EQ(localPathOfFileUrl("file:///a%3Fb%23c"), "/a?b#c");
    EXPECT_FALSE(localPathOfFileUrl("file://server/x"));
    EXPECT_FALSE(localPathOfFileUrl("file:///a%00b"));
    EXPECT_FALSE(localPathOfFileUrl("file:///a%2"));
    EXPECT_FALSE(localPathOfFileUrl("file:///a%zz"));
    EXPECT_FALSE(localPathOfFileUrl("file:relative"));
    EXPECT_FALSE(localPathOfFileUrl("https://example.org/x"));
    EXPECT_FALSE(localPathOfFileUrl("/plain/path"));
}

class XdgPaths : public LinuxWorkspaceTest {};

TEST_F(XdgPaths, ListsTheApplicationsFoldersIgnoringRelativeDataDirs) {
    ::setenv("XDG_DATA_DIRS", ("relative/share::" + systemData_.string()).c_str(), 1);
    EXPECT_EQ(applicationDirectories(), (std::vector<fs::path>{userApplications(), systemApplications()}));
    ::unsetenv("XDG_DATA_DIRS");
    EXPECT_EQ(applicationDirectories(),
              (std::vector<fs::path>{userApplications(), "/usr/local/share/applications", "/usr/share/applications"}));
}

TEST_F(XdgPaths, ResolvesProgramsThroughPathToTheirRealFile) {
    writeExecutable(root_ / "opt" / "real-tool", "#!/bin/sh\n");
    fs::create_symlink(root_ / "opt" / "real-tool", bin_ / "tool");
    writeFile(bin_ / "not-executable", "#!/bin/sh\n");
    fs::create_directories(bin_ / "a-folder");

    EXPECT_EQ(resolveExecutable("tool"), fs::canonical(root_ / "opt" / "real-tool"));
    EXPECT_EQ(resolveExecutable((bin_ / "tool").string()), fs::canonical(root_ / "opt" / "real-tool"));
    EXPECT_FALSE(resolveExecutable("not-executable"));
    EXPECT_FALSE(resolveExecutable("a-folder"));
    EXPECT_FALSE(resolveExecutable("no-such-tool"));
    EXPECT_FALSE(resolveExecutable(""));

    // Empty and relative PATH entries would search the current folder: they are skipped.
    const fs::path previous = fs::current_path();
    fs::current_path(root_ / "opt");
    ::setenv("PATH", (":.:" + bin_.string()).c_str(), 1);
    EXPECT_FALSE(resolveExecutable("real-tool"));
    EXPECT_TRUE(resolveExecutable("tool"));
    fs::current_path(previous);
}

} // namespace
} // namespace tavlin::xdg
