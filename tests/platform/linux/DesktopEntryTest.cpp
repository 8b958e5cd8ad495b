#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LinuxTestSupport.h"
#include "platform/linux/DesktopEntry.h"

namespace tavlin::xdg {
namespace {

using namespace test;
using Argvs = std::vector<std::vector<std::string>>;

DesktopEntry entryWithExec(const std::string& exec, const std::string& name = "Viewer") {
    DesktopEntry entry;
    entry.path = "/apps/viewer.desktop";
    entry.type = "Application";
    entry.name = name;
    entry.icon = "viewer-icon";
    entry.exec = exec;
    return entry;
}

Argvs argvsOf(const DesktopEntry& entry, const std::vector<std::string>& items) {
    const CommandLines lines = commandLinesFor(entry, items);
    EXPECT_FALSE(lines.error) << *lines.error;
    return lines.argvs;
}

std::string errorOf(const DesktopEntry& entry, const std::vector<std::string>& items = {}) {
    const CommandLines lines = commandLinesFor(entry, items);
    EXPECT_TRUE(lines.argvs.empty());
    return lines.error.value_or("(no error)");
}

TEST(DesktopEntryParsing, ReadsOnlyTheDesktopEntryGroup) {
    const auto entry = parseDesktopEntry(
        "# written by hand\n"
        "\n"
        "[Desktop Entry]\r\n"
        "Type = Application\n"
        "Name=Text Editor\n"
        "Name[de]=Texteditor\n"
        "Exec=editor %U\n"
        "Icon=editor-icon\n"
        "StartupWMClass=Editor\n"
        "Path=/srv/work\n"
        "TryExec=editor\n"
        "Name=A second name\n"
        "not a key line\n"
        "[Desktop Action new-window]\n"
        "Exec=editor --new-window\n",
        "/apps/editor.desktop");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->type, "Application");
    EXPECT_EQ(entry->name, "Text Editor");
    EXPECT_EQ(entry->exec, "editor %U");
    EXPECT_EQ(entry->icon, "editor-icon");
    EXPECT_EQ(entry->startupWMClass, "Editor");
    EXPECT_EQ(entry->workingDirectory, "/srv/work");
    EXPECT_EQ(entry->tryExec, "editor");
    EXPECT_EQ(entry->path, "/apps/editor.desktop");
}

TEST(DesktopEntryParsing, UnescapesValuesAndFallsBackToTheFileName) {
    const auto entry = parseDesktopEntry("[Desktop Entry]\nName=A\\sB\\\\C\\nD\\tE\\qF\n", "/x/editor.desktop");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->name, "A B\\C\nD\tE\\qF");

    const auto unnamed = parseDesktopEntry("[Desktop Entry]\nExec=x\n", "/x/org.example.Unnamed.desktop");
    ASSERT_TRUE(unnamed);
    EXPECT_EQ(unnamed->displayName(), "org.example.Unnamed");
}

TEST(DesktopEntryParsing, RefusesTextWithoutTheGroup) {
    EXPECT_FALSE(parseDesktopEntry("", "/a.desktop"));
    EXPECT_FALSE(parseDesktopEntry("Name=x\nExec=y\n", "/a.desktop"));
    EXPECT_FALSE(parseDesktopEntry("[Desktop Action x]\nExec=y\n", "/a.desktop"));
}

TEST(DesktopEntryParsing, ReadsListVisibilityAndLocalisedNames) {
    const auto entry = parseDesktopEntry(
        "[Desktop Entry]\nName=Files\nName[de]=Dateien\nName[sr@latin]=Datoteke\n"
        "NoDisplay=true\nHidden=false\n",
        "/x/files.desktop");
    ASSERT_TRUE(entry);
    EXPECT_TRUE(entry->noDisplay);
    EXPECT_FALSE(entry->hidden);
    EXPECT_EQ(entry->name, "Files");
    EXPECT_EQ(entry->localizedNames.at("de"), "Dateien");
    EXPECT_EQ(entry->localizedNames.at("sr@latin"), "Datoteke");
    const auto hidden = parseDesktopEntry("[Desktop Entry]\nHidden=true\n", "/x/gone.desktop");
    EXPECT_TRUE(hidden->hidden);
    EXPECT_FALSE(hidden->noDisplay);
}

TEST(ExecSplitting, FollowsTheQuotingRules) {
    using Words = std::vector<std::string>;
    EXPECT_EQ(splitExec("prog  a\tb"), (Words{"prog", "a", "b"}));
    EXPECT_EQ(splitExec(R"(prog "two words" "q\"uote" "\$HOME" "\`x\`" "" x"y"z)"),
              (Words{"prog", "two words", "q\"uote", "$HOME", "`x`", "", "xyz"}));
    // Reserved characters outside quotes are taken as written; no shell sees them.
    EXPECT_EQ(splitExec("prog $(id);|&"), (Words{"prog", "$(id);|&"}));
    EXPECT_FALSE(splitExec(R"(prog "unterminated)"));
    EXPECT_FALSE(splitExec(R"(prog "ends in escape\")"));
}

TEST(ExecSplitting, AppliesStringEscapesBeforeQuoting) {
    // In the file, a literal backslash inside a quoted argument takes four backslashes.
    const auto entry = parseDesktopEntry("[Desktop Entry]\nExec=prog \"a\\\\\\\\b\" c\\sd\n", "/a.desktop");
    ASSERT_TRUE(entry);
    EXPECT_EQ(splitExec(entry->exec), (std::vector<std::string>{"prog", "a\\b", "c", "d"}));
}

TEST(ExecFieldCodes, ExpandsEachCode) {
    const DesktopEntry entry = entryWithExec("viewer --title=%c %i --from %k 100%% %d%n %F");
    EXPECT_EQ(argvsOf(entry, {"file:///srv/a%20b.txt", "/srv/c.txt"}),
              (Argvs{{"viewer", "--title=Viewer", "--icon", "viewer-icon", "--from", "/apps/viewer.desktop", "100%",
                      "/srv/a b.txt", "/srv/c.txt"}}));

    DesktopEntry withoutIcon = entry;
    withoutIcon.icon.clear();
    EXPECT_EQ(argvsOf(withoutIcon, {}), (Argvs{{"viewer", "--title=Viewer", "--from", "/apps/viewer.desktop", "100%"}}));
}

TEST(ExecFieldCodes, PassFilesAsPathsAndUrlsAsGiven) {
    EXPECT_EQ(argvsOf(entryWithExec("viewer %U"), {"file:///srv/a%20b", "https://example.org/?q=1"}),
              (Argvs{{"viewer", "file:///srv/a%20b", "https://example.org/?q=1"}}));
    EXPECT_EQ(argvsOf(entryWithExec("viewer %f"), {"file://localhost/srv/x"}), (Argvs{{"viewer", "/srv/x"}}));
    // Without a field code the items are appended, files as paths.
    EXPECT_EQ(argvsOf(entryWithExec("viewer --new"), {"file:///srv/x", "https://example.org"}),
              (Argvs{{"viewer", "--new", "/srv/x", "https://example.org"}}));
    // Without items the codes disappear.
    EXPECT_EQ(argvsOf(entryWithExec("viewer %U --flag"), {}), (Argvs{{"viewer", "--flag"}}));
}

TEST(ExecFieldCodes, SingleItemCodesRunOncePerItem) {
    EXPECT_EQ(argvsOf(entryWithExec("viewer --open %f"), {"/srv/a", "/srv/b"}),
              (Argvs{{"viewer", "--open", "/srv/a"}, {"viewer", "--open", "/srv/b"}}));
    EXPECT_EQ(argvsOf(entryWithExec("viewer %u"), {"https://a.example", "https://b.example"}),
              (Argvs{{"viewer", "https://a.example"}, {"viewer", "https://b.example"}}));
}

TEST(ExecFieldCodes, RefusesCommandLinesThatAreNotValid) {
    const std::string invalid = "The application “Viewer” could not be launched because its command line is not valid.";
    // Codes that take items must stand alone, so an item is never spliced into a script.
    EXPECT_EQ(errorOf(entryWithExec("viewer --file=%f")), invalid);
    EXPECT_EQ(errorOf(entryWithExec("sh -c \"viewer %u\"")), invalid);
    EXPECT_EQ(errorOf(entryWithExec("viewer %f %U")), invalid);
    EXPECT_EQ(errorOf(entryWithExec("%f")), invalid);
    EXPECT_EQ(errorOf(entryWithExec("viewer %z")), invalid);
    EXPECT_EQ(errorOf(entryWithExec("viewer 100%")), invalid);
    EXPECT_EQ(errorOf(entryWithExec("viewer \"open")), invalid);
    EXPECT_EQ(errorOf(entryWithExec("  ")),
              "The application “Viewer” could not be launched because its desktop entry has no command.");
    DesktopEntry link = entryWithExec("viewer");
    link.type = "Link";
    EXPECT_EQ(errorOf(link), "The application “Viewer” could not be launched because it is not an application.");
}

TEST(ExecFieldCodes, RefusesItemsThatAreNotUrlsOrLocalFilesWhereFilesAreNeeded) {
    EXPECT_EQ(errorOf(entryWithExec("viewer %U"), {"-rf"}),
              "The application “Viewer” cannot open “-rf” because it is not a URL.");
    EXPECT_EQ(errorOf(entryWithExec("viewer %U"), {"relative/file"}),
              "The application “Viewer” cannot open “relative/file” because it is not a URL.");
    EXPECT_TRUE(
        errorOf(entryWithExec("viewer %U"), {std::string("/a\0b", 4)}).starts_with("The application “Viewer” cannot open"));
    EXPECT_EQ(errorOf(entryWithExec("viewer %F"), {"https://example.org"}),
              "The application “Viewer” cannot open “https://example.org” because it opens only local files.");
    EXPECT_EQ(errorOf(entryWithExec("viewer %f"), {"file://server/share/x"}),
              "The application “Viewer” cannot open “file://server/share/x” because it opens only local files.");
}

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

class DesktopEntryLookup : public LinuxWorkspaceTest {};

TEST_F(DesktopEntryLookup, FindsEntriesByIdInOrderOfPrecedence) {
    writeFile(userApplications() / "org.example.Editor.desktop", "[Desktop Entry]\nName=User Editor\nExec=ed\n");
    writeFile(systemApplications() / "org.example.Editor.desktop", "[Desktop Entry]\nName=System Editor\nExec=ed\n");
    writeFile(systemApplications() / "org.example.Viewer.desktop", "[Desktop Entry]\nName=System Viewer\nExec=v\n");
    writeFile(vendorApplications() / "org.example.Viewer.desktop", "[Desktop Entry]\nName=Vendor Viewer\nExec=v\n");
    writeFile(vendorApplications() / "kde4" / "kate.desktop", "[Desktop Entry]\nName=Kate\nExec=kate\n");
    writeFile(vendorApplications() / "notes.txt", "[Desktop Entry]\nName=Not an entry\n");

    const auto catalog = DesktopEntryCatalog::scan();
    ASSERT_TRUE(catalog.find("org.example.Editor"));
    EXPECT_EQ(catalog.find("org.example.Editor")->name, "User Editor");
    EXPECT_EQ(catalog.find("org.example.Editor")->path, userApplications() / "org.example.Editor.desktop");
    ASSERT_TRUE(catalog.find("org.example.Viewer.desktop"));
    EXPECT_EQ(catalog.find("org.example.Viewer.desktop")->name, "System Viewer");
    ASSERT_TRUE(catalog.find("kde4-kate"));
    EXPECT_EQ(catalog.find("kde4-kate")->id, "kde4-kate");
    EXPECT_FALSE(catalog.find("kate"));
    EXPECT_FALSE(catalog.find("notes"));
    EXPECT_EQ(catalog.entries().size(), 3u);

    // An entry read on its own knows its id too; outside the folders its file name stands in.
    EXPECT_EQ(readDesktopEntry(vendorApplications() / "kde4" / "kate.desktop")->id, "kde4-kate");
    writeFile(root_ / "elsewhere" / "tool.desktop", "[Desktop Entry]\nExec=tool\n");
    EXPECT_EQ(readDesktopEntry(root_ / "elsewhere" / "tool.desktop")->id, "tool");
}

TEST_F(DesktopEntryLookup, LeavesOutEntriesThatAreNotInstalledAndIgnoresRelativeDataDirs) {
    writeExecutable(bin_ / "present", "#!/bin/sh\n");
    writeFile(systemApplications() / "present.desktop", "[Desktop Entry]\nTryExec=present\nExec=present\n");
    writeFile(systemApplications() / "absent.desktop", "[Desktop Entry]\nTryExec=absent-program\nExec=x\n");
    // The user's unusable copy still hides the system's entry of the same id.
    writeFile(userApplications() / "shadowed.desktop", "[Desktop Entry]\nTryExec=absent-program\nExec=x\n");
    writeFile(systemApplications() / "shadowed.desktop", "[Desktop Entry]\nExec=x\n");

    const auto catalog = DesktopEntryCatalog::scan();
    EXPECT_TRUE(catalog.find("present"));
    EXPECT_FALSE(catalog.find("absent"));
    EXPECT_FALSE(catalog.find("shadowed"));

    ::setenv("XDG_DATA_DIRS", ("relative/share::" + systemData_.string()).c_str(), 1);
    EXPECT_EQ(applicationDirectories(), (std::vector<fs::path>{userApplications(), systemApplications()}));
    ::unsetenv("XDG_DATA_DIRS");
    EXPECT_EQ(applicationDirectories(),
              (std::vector<fs::path>{userApplications(), "/usr/local/share/applications", "/usr/share/applications"}));
}

TEST_F(DesktopEntryLookup, ResolvesProgramsThroughPathToTheirRealFile) {
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

    const auto entry = parseDesktopEntry("[Desktop Entry]\nExec=\"tool\" --flag %U\n", root_ / "tool.desktop");
    EXPECT_EQ(executableOfEntry(*entry), fs::canonical(root_ / "opt" / "real-tool"));
}

} // namespace
} // namespace tavlin::xdg
