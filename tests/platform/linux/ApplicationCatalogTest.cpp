#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/base/Diagnostics.h"

#include "LinuxTestSupport.h"
#include "platform/linux/ApplicationCatalog.h"

namespace tavlin::xdg {
namespace {

using namespace test;

class ApplicationCatalogTest : public LinuxWorkspaceTest {
protected:
    void SetUp() override {
        LinuxWorkspaceTest::SetUp();
        fs::create_directories(userApplications());
        fs::create_directories(tempHome().configHome());
        writeExecutable(bin_ / "tavlin-test-program", "#!/bin/sh\n");
    }

    void writeEntry(const fs::path& folder, const std::string& id, const std::string& body) {
        writeFile(folder / (id + ".desktop"), "[Desktop Entry]\nType=Application\n" + body);
    }

    // Until GIO's change notice has come and the catalog finds what `done` looks for.
    bool afterChangeNotice(const std::function<bool()>& done) {
        return eventually(
            [&] {
                ApplicationCatalog::dispatchPendingChanges();
                return done();
            },
            20);
    }

    // Until the reading begun by the questions asked so far has been taken in.
    static bool current(ApplicationCatalog& catalog) {
        catalog.entries();
        return eventually([&] {
            ApplicationCatalog::dispatchPendingChanges();
            return catalog.isCurrent();
        });
    }

    tavlin::test::SavedEnvironment savedLanguage_{"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
};

// A session start asks about every client window and the helper's scheme: with hundreds of
// entries that must cost no reading of files after the first.
TEST_F(ApplicationCatalogTest, ReadsTheEntriesOnceAndAnswersFromMemory) {
    for (int i = 0; i < 300; ++i) {
        writeEntry(userApplications(), "org.example.App" + std::to_string(i),
                   "Name=App " + std::to_string(i) + "\nExec=tavlin-test-program %U\n");
    }
    ApplicationCatalog catalog;
    EXPECT_EQ(catalog.loadCount(), 0u) << "read only when first asked";
    catalog.defaultApplicationPathForScheme("tavlinhelper");
    ASSERT_TRUE(current(catalog));
    ASSERT_NE(catalog.findById("org.example.App7.desktop"), nullptr);
    EXPECT_EQ(catalog.findById("org.example.App7")->name, "App 7");
    const auto self = fs::canonical("/proc/self/exe");
    for (int window = 0; window < 40; ++window) {
        EXPECT_EQ(catalog.entryForWindow("client-" + std::to_string(window), self), nullptr);
        catalog.defaultApplicationPathForScheme("tavlinhelper");
    }
    EXPECT_EQ(catalog.loadCount(), 1u);
}

TEST_F(ApplicationCatalogTest, ReadsAgainOnceTheApplicationsOrTheirAssociationsChange) {
    writeEntry(userApplications(), "org.example.First",
               "Name=First\nExec=tavlin-test-program %u\n"
               "MimeType=x-scheme-handler/tavlintest;\n");
    ApplicationCatalog catalog;
    ASSERT_TRUE(current(catalog));
    ASSERT_NE(catalog.findById("org.example.First"), nullptr);
    EXPECT_EQ(catalog.findById("org.example.Later"), nullptr);

    writeEntry(userApplications(), "org.example.Later",
               "Name=Later\nExec=tavlin-test-program %u\n"
               "MimeType=x-scheme-handler/tavlintest;\n");
    EXPECT_TRUE(afterChangeNotice([&] { return catalog.findById("org.example.Later") != nullptr; }));
    EXPECT_GE(catalog.loadCount(), 2u);

    writeFile(tempHome().configHome() / "mimeapps.list",
              "[Default Applications]\nx-scheme-handler/tavlintest=org.example.Later.desktop\n");
    EXPECT_TRUE(afterChangeNotice([&] {
        return catalog.defaultApplicationPathForScheme("tavlintest") ==
               (userApplications() / "org.example.Later.desktop").string();
    }));
}

// A first application installed for the user makes the folder it goes in, and the folders on
// the way, after the catalog was read.
TEST_F(ApplicationCatalogTest, ReadsAFolderOfApplicationsMadeLater) {
    fs::remove_all(tempHome().dataHome());
    ApplicationCatalog catalog;
    ASSERT_TRUE(current(catalog));
    EXPECT_EQ(catalog.findById("org.example.First"), nullptr);
    writeEntry(userApplications(), "org.example.First", "Name=First\nExec=tavlin-test-program\n");
    EXPECT_TRUE(afterChangeNotice([&] { return catalog.findById("org.example.First") != nullptr; }));
    // Removed and made again, it is still followed.
    fs::remove_all(userApplications());
    EXPECT_TRUE(afterChangeNotice([&] { return catalog.findById("org.example.First") == nullptr; }));
    writeEntry(userApplications(), "org.example.Again", "Name=Again\nExec=tavlin-test-program\n");
    EXPECT_TRUE(afterChangeNotice([&] { return catalog.findById("org.example.Again") != nullptr; }));
}

// What users' entries rely on: Hidden removes an entry (also one of lower precedence with the
// same id), names follow the language, a program that is not installed is no application.
TEST_F(ApplicationCatalogTest, FollowsHiddenLanguagesAndInstalledPrograms) {
    ::setenv("LANGUAGE", "fr", 1);
    ::setenv("LC_ALL", "fr_FR.UTF-8", 1);
    writeEntry(systemApplications(), "org.example.Gone", "Name=Gone\nExec=tavlin-test-program\n");
    writeEntry(userApplications(), "org.example.Gone", "Name=Gone\nExec=tavlin-test-program\nHidden=true\n");
    writeEntry(userApplications(), "org.example.Local", "Name=Files\nName[fr]=Fichiers\nExec=tavlin-test-program\n");
    writeEntry(userApplications(), "org.example.Missing", "Name=Missing\nExec=tavlin-no-such-program\n");
    ApplicationCatalog catalog;
    ASSERT_TRUE(current(catalog));
    EXPECT_EQ(catalog.findById("org.example.Gone"), nullptr);
    ASSERT_NE(catalog.findById("org.example.Local"), nullptr);
    EXPECT_EQ(catalog.findById("org.example.Local")->name, "Fichiers");
    EXPECT_EQ(catalog.findById("org.example.Missing"), nullptr);
}

// A handler may be declared only in its own entry (found through the folder's mimeinfo.cache,
// as the desktop's tools write it) or chosen in a mimeapps list, which comes first.
TEST_F(ApplicationCatalogTest, FindsSchemeHandlersDeclaredByEntriesOrChosenInTheLists) {
    writeEntry(userApplications(), "tavlin-helper",
               "Name=Helper\nExec=tavlin-test-program %u\n"
               "MimeType=x-scheme-handler/tavlinhelper;\n");
    writeFile(userApplications() / "mimeinfo.cache", "[MIME Cache]\nx-scheme-handler/tavlinhelper=tavlin-helper.desktop;\n");
    writeEntry(userApplications(), "org.example.Browser",
               "Name=Browser\nExec=tavlin-test-program %u\n"
               "MimeType=x-scheme-handler/https;\n");
    writeEntry(userApplications(), "org.example.Other",
               "Name=Other\nExec=tavlin-test-program %u\n"
               "MimeType=x-scheme-handler/https;\n");
    writeFile(tempHome().configHome() / "mimeapps.list",
              "[Default Applications]\nx-scheme-handler/https=org.example.Other.desktop\n");
    ApplicationCatalog catalog;
    ASSERT_TRUE(current(catalog));
    EXPECT_EQ(catalog.defaultApplicationPathForScheme("tavlinhelper"), (userApplications() / "tavlin-helper.desktop").string());
    EXPECT_EQ(catalog.defaultApplicationPathForScheme("https"), (userApplications() / "org.example.Other.desktop").string());
    EXPECT_EQ(catalog.defaultApplicationPathForScheme("tavlin-nothing"), std::nullopt);
}

// The lists in their order of precedence: the desktop's own before the plain one, the user's
// before the applications folders' (and their defaults.list); a default that is not installed
// gives way; additions come before the entries' own declarations, removals take those away.
TEST_F(ApplicationCatalogTest, SchemeHandlersFollowTheListsInTheirOrderOfPrecedence) {
    tavlin::test::SavedEnvironment desktop{"XDG_CURRENT_DESKTOP"};
    ::setenv("XDG_CURRENT_DESKTOP", "Test:Other", 1);
    for (const char* id : {"first", "second", "third"}) {
        writeEntry(systemApplications(), id, "Exec=tavlin-test-program %u\nMimeType=x-scheme-handler/declared;\n");
    }
    const auto list = [](const std::string& group, const std::string& ids) {
        return "[" + group + "]\nx-scheme-handler/s=" + ids + "\n";
    };
    const auto config = tempHome().configHome();
    const struct {
        std::vector<std::pair<fs::path, std::string>> files;
        std::string scheme;
        std::optional<std::string> handler;
    } cases[] = {
        {{{config / "test-mimeapps.list", list("Default Applications", "second.desktop")},
          {config / "mimeapps.list", list("Default Applications", "first.desktop")}},
         "s",
         "second"},
        {{{config / "mimeapps.list", list("Default Applications", "gone.desktop;third.desktop")},
          {userApplications() / "mimeapps.list", list("Default Applications", "first.desktop")}},
         "s",
         "third"},
        {{{systemApplications() / "defaults.list", list("Default Applications", "second.desktop")}}, "s", "second"},
        {{{config / "mimeapps.list", list("Added Associations", "third.desktop")}}, "s", "third"},
        {{{config / "mimeapps.list", list("Added Associations", "gone.desktop")}}, "s", std::nullopt},
        {{}, "declared", "first"},
        {{{config / "mimeapps.list", "[Removed Associations]\nx-scheme-handler/declared=first.desktop;second.desktop;\n"}},
         "declared",
         "third"},
    };
    for (const auto& [files, scheme, handler] : cases) {
        for (const auto& [path, text] : files) writeFile(path, text);
        ApplicationCatalog catalog;
        catalog.defaultApplicationPathForScheme(scheme);
        ASSERT_TRUE(current(catalog));
        const auto expected = handler ? std::optional((systemApplications() / (*handler + ".desktop")).string()) : std::nullopt;
        EXPECT_EQ(catalog.defaultApplicationPathForScheme(scheme), expected) << files.size() << " " << scheme;
        for (const auto& [path, text] : files) fs::remove(path);
    }
}

TEST_F(ApplicationCatalogTest, MatchesWindowsByClassThenIdThenTheOnlyEntryOfTheirProgram) {
    const auto self = fs::canonical("/proc/self/exe");
    writeEntry(userApplications(), "org.example.Classy", "Name=Classy\nExec=tavlin-test-program\nStartupWMClass=TavlinProbe\n");
    writeEntry(userApplications(), "tavlinprobe", "Name=Probe By Id\nExec=tavlin-test-program\n");
    writeEntry(userApplications(), "org.example.Self", "Name=The Tests\nExec=" + self.string() + " %U\n");
    ApplicationCatalog catalog;
    ASSERT_TRUE(current(catalog));
    EXPECT_EQ(catalog.entryForWindow("TavlinProbe", self)->id, "org.example.Classy");
    EXPECT_EQ(catalog.entryForWindow("TAVLINPROBE", self)->id, "tavlinprobe");
    EXPECT_EQ(catalog.entryForWindow("Unknown", self)->id, "org.example.Self");
    EXPECT_EQ(catalog.entryForWindow("Unknown", std::nullopt), nullptr);

    // Two entries of one program (as with interpreters): the program alone decides nothing.
    writeEntry(userApplications(), "org.example.Again", "Name=Again\nExec=" + self.string() + "\n");
    EXPECT_TRUE(afterChangeNotice([&] { return catalog.entryForWindow("Unknown", self) == nullptr; }));
}

// GIO would wait in open() for a FIFO's writer: asking never waits, the reading is refused at
// once with a line, what was known stays, and the next change reads again.
TEST_F(ApplicationCatalogTest, AFifoAmongTheEntriesOrAsAListNeitherBlocksNorLosesWhatWasRead) {
    writeEntry(userApplications(), "org.example.Known", "Name=Known\nExec=tavlin-test-program\n");
    ApplicationCatalog catalog;
    ASSERT_TRUE(current(catalog));
    for (const auto& fifo : {userApplications() / "new.desktop", tempHome().configHome() / "mimeapps.list"}) {
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        diag::Capture lines;
        catalog.invalidate();
        ASSERT_TRUE(current(catalog)) << fifo;
        EXPECT_NE(catalog.findById("org.example.Known"), nullptr);
        const auto said = lines.lines();
        EXPECT_TRUE(std::any_of(said.begin(), said.end(), [](const auto& line) { return line.ends_with("not a regular file."); }))
            << fifo;
        fs::remove(fifo);
    }
    writeEntry(userApplications(), "org.example.Later", "Name=Later\nExec=tavlin-test-program\n");
    EXPECT_TRUE(afterChangeNotice([&] { return catalog.findById("org.example.Later") != nullptr; }));
}

// Linked subfolders are read under the link's name, each folder once however many links lead
// to it (here one back up); a FIFO there is left out with a line, the rest read.
TEST_F(ApplicationCatalogTest, ReadsLinkedSubfoldersOnceAndLeavesOutWhatIsNoRegularFile) {
    const auto elsewhere = root_ / "elsewhere";
    writeEntry(elsewhere, "org.example.Linked", "Name=Linked\nExec=tavlin-test-program\n");
    ASSERT_EQ(::mkfifo((elsewhere / "e.desktop").c_str(), 0600), 0);
    fs::create_directory_symlink(elsewhere, userApplications() / "sub");
    fs::create_directory_symlink(userApplications(), elsewhere / "up");
    diag::Capture lines;
    ApplicationCatalog catalog;
    ASSERT_TRUE(current(catalog));
    ASSERT_NE(catalog.findById("sub-org.example.Linked"), nullptr);
    EXPECT_EQ(catalog.entries().size(), 1u);
    const auto said = lines.lines();
    ASSERT_EQ(said.size(), 1u);
    EXPECT_TRUE(said[0].find("e.desktop") != std::string::npos && said[0].ends_with("not a regular file.")) << said[0];
}

} // namespace
} // namespace tavlin::xdg
