#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include <QTest>

#include "actionediting/ApplicationChooserDialog.h"
#include "actionediting/PathChooser.h"
#include "platform/files/UserDefaults.h"
#include "sandbox/SandboxTestSupport.h"
#include "support/QtTestApplication.h"

// The choosers over a home of their own, where the machine's applications stay out of the lists.
namespace tavlin::flateditor {

using Kind = PathChooserKind;

inline std::optional<std::string> choose(Kind kind, const std::optional<std::string>& folderURL) {
    return choosePath(kind, folderURL, rowEditorRules);
}

class ChoosersTest : public test::SandboxTest {
protected:
    static void SetUpTestSuite() { test::offscreenApplication(); }

    void SetUp() override {
        SandboxTest::SetUp();
        applications_ = tempHome().dataHome() / "applications";
        std::filesystem::create_directories(applications_);
        // The machine's own applications stay out of the lists.
        std::filesystem::create_directories(root_ / "system");
        ::setenv("XDG_DATA_DIRS", (root_ / "system").c_str(), 1);
        test::followEnvironmentInGLib();
        // GIO lists only entries whose program is installed.
        for (const char* program : {"zeta-bin", "alpha-tool", "markup", "one", "x"}) {
            test::writeFile(root_ / "bin" / program, "#!/bin/sh\n");
            std::filesystem::permissions(root_ / "bin" / program, std::filesystem::perms::owner_all);
        }
        ::setenv("PATH", ((root_ / "bin").string() + ":/usr/bin:/bin").c_str(), 1);
    }

    std::filesystem::path entry(const std::string& id, const std::string& body) {
        const auto path = applications_ / (id + ".desktop");
        test::writeFile(path, "[Desktop Entry]\nType=Application\n" + body);
        return path;
    }

    // Runs `drive` on the dialog once it is up, from the event loop that runs it.
    template <typename Drive>
    static void whenDialogShows(Drive drive) {
        test::whenShown<ApplicationChooserDialog>([drive](ApplicationChooserDialog& dialog) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog, 20000));
            drive(dialog);
            // Never left waiting on a dialog the test failed to close.
            if (dialog.isVisible()) {
                ADD_FAILURE() << "the dialog is still open";
                dialog.reject();
            }
        });
    }

    // In the standard suite's file, where the action runner looks for it.
    static bool hasBookmark(const std::string& absoluteURL) {
        std::string key = "bd_";
        for (const char c : absoluteURL) key += c == '/' ? std::string("\\/") : std::string(1, c);
        return test::fileContents(UserDefaults::standard()->filePath()).find("\"" + key + "\"") != std::string::npos;
    }

    std::filesystem::path applications_;
    test::SavedEnvironment dataDirs_{"XDG_DATA_DIRS", "PATH"};
};

} // namespace tavlin::flateditor
