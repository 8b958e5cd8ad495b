#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "LinuxTestSupport.h"
#include "platform/linux/MimeApps.h"

namespace tavlin::xdg {
namespace {

using namespace test;

// Six installed entries (App1 to App6), one in a subfolder, one whose program is missing, and
// the six folders a list can be in, in order of precedence.
class SchemeHandlers : public LinuxWorkspaceTest {
protected:
    void SetUp() override {
        LinuxWorkspaceTest::SetUp();
        ::setenv("XDG_CONFIG_DIRS", ((root_ / "etc-first").string() + ":" + (root_ / "etc-second").string()).c_str(), 1);
        ::unsetenv("XDG_CURRENT_DESKTOP");
        for (int i = 1; i <= 6; ++i) {
            writeFile(userApplications() / ("org.example.App" + std::to_string(i) + ".desktop"),
                      "[Desktop Entry]\nName=App " + std::to_string(i) + "\nExec=app\n");
        }
        writeFile(userApplications() / "vendor" / "sub.desktop", "[Desktop Entry]\nName=Sub\nExec=sub\n");
        writeFile(userApplications() / "org.example.Broken.desktop",
                  "[Desktop Entry]\nName=Broken\nExec=broken\nTryExec=no-such-program-anywhere\n");
    }

    std::vector<fs::path> folders() const {
        return {tempHome().configHome(), root_ / "etc-first",  root_ / "etc-second",
                userApplications(),      systemApplications(), vendorApplications()};
    }

    static void writeList(const fs::path& folder, const std::string& text, const std::string& name = "mimeapps.list") {
        writeFile(folder / name, text);
    }

    static std::string group(const std::string& name, const std::string& ids,
                             const std::string& type = "x-scheme-handler/tavlinhelper") {
        return "[" + name + "]\n" + type + "=" + ids + "\n";
    }
    static std::string defaults(const std::string& ids) { return group("Default Applications", ids); }
    static std::string added(const std::string& ids) { return group("Added Associations", ids); }
    static std::string removed(const std::string& ids) { return group("Removed Associations", ids); }

    static std::optional<std::string> handler(std::string_view scheme = "tavlinhelper") {
        return defaultDesktopEntryIdForScheme(scheme, DesktopEntryCatalog::scan());
    }

private:
    tavlin::test::SavedEnvironment savedEnvironment_{"XDG_CONFIG_DIRS", "XDG_CURRENT_DESKTOP"};
};

TEST_F(SchemeHandlers, DefaultsFollowThePrecedenceOfTheFolders) {
    const auto all = folders();
    for (std::size_t i = 0; i < all.size(); ++i) {
        writeList(all[i], defaults("org.example.App" + std::to_string(i + 1) + ".desktop;"));
    }
    for (std::size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(handler(), "org.example.App" + std::to_string(i + 1)) << all[i];
        fs::remove(all[i] / "mimeapps.list");
    }
    EXPECT_EQ(handler(), std::nullopt);
}

TEST_F(SchemeHandlers, TheListsOfTheCurrentDesktopsComeFirstInTheirFolder) {
    ::setenv("XDG_CURRENT_DESKTOP", "Tavlin:Other", 1);
    const fs::path config = tempHome().configHome();
    writeList(config, defaults("org.example.App1.desktop"));
    writeList(config, defaults("org.example.App2.desktop"), "other-mimeapps.list");
    writeList(config, defaults("org.example.App3.desktop"), "tavlin-mimeapps.list");
    // A desktop's list in a folder of lower precedence does not beat a plain one above it.
    writeList(root_ / "etc-first", defaults("org.example.App4.desktop"), "tavlin-mimeapps.list");

    EXPECT_EQ(handler(), "org.example.App3");
    fs::remove(config / "tavlin-mimeapps.list");
    EXPECT_EQ(handler(), "org.example.App2");
    fs::remove(config / "other-mimeapps.list");
    EXPECT_EQ(handler(), "org.example.App1");
    fs::remove(config / "mimeapps.list");
    EXPECT_EQ(handler(), "org.example.App4");
}

TEST_F(SchemeHandlers, ADesktopNameCannotLeadToAListInAnotherFolder) {
    // "../escape" would make <config>/../escape-mimeapps.list.
    ::setenv("XDG_CURRENT_DESKTOP", "../Escape::Tavlin", 1);
    writeList(root_, defaults("org.example.App5.desktop"), "escape-mimeapps.list");
    writeList(tempHome().configHome(), defaults("org.example.App1.desktop"), "tavlin-mimeapps.list");
    EXPECT_EQ(handler(), "org.example.App1");
}

TEST_F(SchemeHandlers, TheFirstInstalledDefaultWinsWithinAListAndAcrossLists) {
    writeList(tempHome().configHome(),
              defaults("missing.desktop; org.example.Broken.desktop ;vendor-sub.desktop;org.example.App1.desktop"));
    EXPECT_EQ(handler(), "vendor-sub");

    writeList(tempHome().configHome(), defaults("missing.desktop;org.example.Broken.desktop;"));
    writeList(systemApplications(), defaults("org.example.App3.desktop"));
    EXPECT_EQ(handler(), "org.example.App3");
}

TEST_F(SchemeHandlers, AddedAssociationsCountOnlyWithoutAnyInstalledDefault) {
    writeList(tempHome().configHome(), added("org.example.App1.desktop"));
    writeList(vendorApplications(), defaults("org.example.App6.desktop"));
    EXPECT_EQ(handler(), "org.example.App6");

    writeList(vendorApplications(), defaults("missing.desktop"));
    EXPECT_EQ(handler(), "org.example.App1");
}

TEST_F(SchemeHandlers, RemovalsHideTheAdditionsOfTheirListAndOfTheListsBelow) {
    writeList(tempHome().configHome(),
              added("org.example.App1.desktop;org.example.App2.desktop") + removed("org.example.App1.desktop"));
    writeList(root_ / "etc-first", added("org.example.App3.desktop"));
    writeList(userApplications(), removed("org.example.App4.desktop"));
    writeList(vendorApplications(), added("org.example.App4.desktop;org.example.App5.desktop") +
                                        removed("org.example.App2.desktop;org.example.App5.desktop"));
    // App1 is removed by its own list; App2 only by a list below it.
    EXPECT_EQ(handler(), "org.example.App2");

    writeList(tempHome().configHome(), added("org.example.App1.desktop;org.example.App2.desktop") +
                                           removed("org.example.App1.desktop;org.example.App2.desktop;org.example.App3.desktop"));
    // App4 is removed from above; App5 by its own list.
    EXPECT_EQ(handler(), std::nullopt);

    writeList(vendorApplications(), added("org.example.App4.desktop;org.example.App5.desktop"));
    EXPECT_EQ(handler(), "org.example.App5");
}

TEST_F(SchemeHandlers, SchemesMatchIgnoringCaseAndMalformedOnesNameNothing) {
    writeList(tempHome().configHome(), defaults("org.example.App1.desktop") +
                                           "X-Scheme-Handler/Web+Tavlin.Beta-2=org.example.App2.desktop\n"
                                           "x-scheme-handler/=org.example.App3.desktop\n"
                                           "x-scheme-handler/tavlin helper=org.example.App3.desktop\n"
                                           "x-scheme-handler/2fa=org.example.App3.desktop\n"
                                           "x-scheme-handler/a/b=org.example.App3.desktop\n");
    EXPECT_EQ(handler("TAVLINHELPER"), "org.example.App1");
    EXPECT_EQ(handler("web+tavlin.beta-2"), "org.example.App2");
    for (const char* scheme : {"", "tavlin helper", "2fa", "a/b", "tavlinhelper:", "caf\xc3\xa9", "-x"}) {
        EXPECT_EQ(handler(scheme), std::nullopt) << scheme;
    }
}

TEST_F(SchemeHandlers, ListsAreReadAsKeyFiles) {
    writeList(tempHome().configHome(),
              "# chosen by hand\r\n"
              "\r\n"
              "[Desktop Entry]\r\n"
              "x-scheme-handler/tavlinhelper=org.example.App1.desktop\r\n"
              "[Default Applications]\r\n"
              "x-scheme-handler/tavlinhelperx=org.example.App2.desktop\r\n"
              "x-scheme-handler/other=org.example.App2.desktop\r\n"
              "not a key\r\n"
              "  x-scheme-handler/tavlinhelper  =  missing.desktop ; org.example.App3.desktop ;\r\n"
              "x-scheme-handler/tavlinhelper=org.example.App4.desktop\r\n"
              "[Default Applications]\r\n"
              "x-scheme-handler/tavlinhelper=org.example.App5.desktop");
    EXPECT_EQ(handler(), "org.example.App3");
}

TEST_F(SchemeHandlers, ListsThatCannotBeReadAreSkipped) {
    fs::create_directories(tempHome().configHome() / "mimeapps.list");
    writeList(root_ / "etc-first", std::string(5 << 20, '#') + "\n" + defaults("org.example.App1.desktop"));
    writeList(root_ / "etc-second", defaults("org.example.App2.desktop"));
    EXPECT_EQ(handler(), "org.example.App2");
}

TEST_F(SchemeHandlers, WithoutVariablesTheFoldersUnderHomeAreRead) {
    ::unsetenv("XDG_CONFIG_HOME");
    ::unsetenv("XDG_DATA_HOME");
    const fs::path applications = tempHome().home() / ".local" / "share" / "applications";
    writeFile(applications / "org.example.Home.desktop", "[Desktop Entry]\nName=Home\nExec=home\n");
    writeFile(applications / "org.example.Chosen.desktop", "[Desktop Entry]\nName=Chosen\nExec=chosen\n");
    writeList(applications, defaults("org.example.App1.desktop;org.example.Home.desktop"));
    // The convenience form reads the installed entries: App1 is under $XDG_DATA_HOME, now unset.
    EXPECT_EQ(defaultDesktopEntryIdForScheme("tavlinhelper"), "org.example.Home");

    writeList(tempHome().home() / ".config", defaults("org.example.Chosen.desktop"));
    EXPECT_EQ(defaultDesktopEntryIdForScheme("tavlinhelper"), "org.example.Chosen");
}

} // namespace
} // namespace tavlin::xdg
