#include <gtest/gtest.h>

#include <string>

#include <sys/wait.h>
#include <unistd.h>

#include "LinuxTestSupport.h"
#include "platform/linux/WindowSystemApplications.h"

namespace tavlin::xdg {
namespace {

using namespace test;

// The entries a window's process is matched against; this test program is the process.
class ProcessMatching : public LinuxWorkspaceTest {
protected:
    void SetUp() override {
        LinuxWorkspaceTest::SetUp();
        self_ = fs::canonical("/proc/self/exe").string();
        // GIO lists no entry whose program is missing.
        for (const char* program : {"classy", "probe"}) writeExecutable(bin_ / program, "#!/bin/sh\n");
        writeFile(userApplications() / "org.example.Classy.desktop",
                  "[Desktop Entry]\nType=Application\nName=Classy\nExec=classy\nStartupWMClass=TavlinProbe\n");
        writeFile(systemApplications() / "tavlinprobe.desktop",
                  "[Desktop Entry]\nType=Application\nName=Probe By Id\nExec=probe\n");
        writeFile(systemApplications() / "tests" / "self.desktop",
                  "[Desktop Entry]\nType=Application\nName=The Tests\nExec=\"" + self_ + "\" --gtest_brief=1 %U\n");
    }

    // Against a catalog that has read the entries written so far.
    RunningApplication match(std::int64_t pid, std::string_view wmClass) {
        ApplicationCatalog catalog;
        catalog.entries();
        EXPECT_TRUE(eventually(
            [&] {
                ApplicationCatalog::dispatchPendingChanges();
                return catalog.isCurrent();
            },
            20));
        return runningApplicationForProcess(pid, wmClass, catalog);
    }

    std::string self_;
};

TEST_F(ProcessMatching, PrefersTheWindowClassThenTheIdThenTheExecutable) {
    const auto byStartupClass = match(::getpid(), "TavlinProbe");
    RunningApplication expected;
    expected.processIdentifier = ::getpid();
    expected.bundlePath = (userApplications() / "org.example.Classy.desktop").string();
    expected.bundleIdentifier = "org.example.Classy";
    expected.localizedName = "Classy";
    expected.executablePath = self_;
    EXPECT_EQ(byStartupClass, expected);

    // The startup class must match exactly; the id may differ in case.
    const auto byId = match(::getpid(), "TAVLINPROBE");
    EXPECT_EQ(byId.bundleIdentifier, "tavlinprobe");
    EXPECT_EQ(byId.localizedName, "Probe By Id");

    const auto byExecutable = match(::getpid(), "SomethingElse");
    EXPECT_EQ(byExecutable.bundlePath, (systemApplications() / "tests" / "self.desktop").string());
    EXPECT_EQ(byExecutable.bundleIdentifier, "tests-self");
    EXPECT_EQ(byExecutable.localizedName, "The Tests");
    EXPECT_EQ(byExecutable.executablePath, self_);
}

TEST_F(ProcessMatching, FallsBackToTheExecutableWhenNoEntryIsCertain) {
    // A second entry for the same program (as with interpreters): the executable alone decides nothing.
    writeFile(vendorApplications() / "other-self.desktop", "[Desktop Entry]\nType=Application\nName=Again\nExec=" + self_ + "\n");
    const auto ambiguous = match(::getpid(), "");
    RunningApplication expected;
    expected.processIdentifier = ::getpid();
    expected.bundlePath = self_;
    expected.localizedName = fs::path(self_).filename().string();
    expected.executablePath = self_;
    EXPECT_EQ(ambiguous, expected);
    // The window class still names the entry.
    EXPECT_EQ(match(::getpid(), "TavlinProbe").bundleIdentifier, "org.example.Classy");
}

TEST_F(ProcessMatching, AnEndedProcessKeepsOnlyWhatItsWindowSays) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ASSERT_GT(child, 0);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);

    RunningApplication pidOnly;
    pidOnly.processIdentifier = child;
    EXPECT_EQ(match(child, "Unknown"), pidOnly);
    const auto named = match(child, "TavlinProbe");
    EXPECT_EQ(named.bundleIdentifier, "org.example.Classy");
    EXPECT_EQ(named.executablePath, std::nullopt);
}

} // namespace
} // namespace tavlin::xdg
