// The support mail link with injected facts, and the choice between it and the home page.

#include <gtest/gtest.h>

#include <QtCore/QUrl>

#include "app/SupportMail.h"
#include "app/window/DeviceFacts.h"
#include "engine/EngineHarness.h"
#include "platform/Diagnostics.h"

namespace tavlin::test {
namespace {

constexpr const char* expectedFacts =
    "%0A%0A%0A%0Atavlin%201.2%20(34)%0ADebian%20GNU/Linux%2012%20(bookworm),%20Linux%206.1.0"
    "%0AStandard%20PC%20(Q35%20+%20ICH9,%202009)";

class SupportMailTest : public DeviceFactsTest {};

TEST_F(SupportMailTest, TheLinkHoldsTheSubjectFourLineFeedsAndTheFactLines) {
    EXPECT_EQ(supportMailURL("help@example.org"),
              std::string("mailto:help@example.org?subject=tavlin%20Support&body=") + expectedFacts);
    EXPECT_EQ(supportMailURL(), std::string("mailto:support@tavlin.example?subject=tavlin%20Support&body=") + expectedFacts);
    EXPECT_TRUE(QUrl(QString::fromStdString(supportMailURL()), QUrl::StrictMode).isValid());
}

TEST(PercentEncodingTest, KeepsTheQuerySetAndEncodesEveryOtherByte) {
    EXPECT_EQ(percentEncodedForQuery("a&b=c d\n"), "a&b=c%20d%0A");
    EXPECT_EQ(percentEncodedForQuery("AZaz09-._~!$&'()*+,;=:@/?"), "AZaz09-._~!$&'()*+,;=:@/?");
    EXPECT_EQ(percentEncodedForQuery("%#[]\"<>\\^`{|}"), "%25%23%5B%5D%22%3C%3E%5C%5E%60%7B%7C%7D");
    EXPECT_EQ(percentEncodedForQuery("é€"), "%C3%A9%E2%82%AC");
    EXPECT_EQ(percentEncodedForQuery(std::string("\0\x7f", 2)), "%00%7F");
    EXPECT_EQ(percentEncodedForQuery(""), "");
    EXPECT_EQ(percentEncodedForQuery("\xff\xfe"), std::nullopt);
}

TEST_F(SupportMailTest, AMissingBuildDropsTheVersionLineAndPrintsOneEmptyLine) {
    setMainBundleInfo(BundleInfo{"tavlin", "1.2", std::nullopt});
    diag::Capture capture;
    EXPECT_EQ(supportMailURL("a@b.c"),
              "mailto:a@b.c?subject=tavlin%20Support&body=%0A%0A%0A%0A"
              "Debian%20GNU/Linux%2012%20(bookworm),%20Linux%206.1.0"
              "%0AStandard%20PC%20(Q35%20+%20ICH9,%202009)");
    EXPECT_EQ(capture.lines(), std::vector<std::string>{""});

    capture.clear();
    setMainBundleInfo(BundleInfo{std::nullopt, "1.2", "34"});
    EXPECT_EQ(supportMailURL("a@b.c").find("1.2"), std::string::npos) << "no name, no line";
    EXPECT_EQ(capture.lines(), std::vector<std::string>{""});
}

TEST_F(SupportMailTest, NoFactsAtAllStillGiveFourLineFeeds) {
    setMainBundleInfo(BundleInfo{});
    DeviceInfo::Sources nothing;
    nothing.osReleaseFiles = {root_ / "missing"};
    nothing.modelFiles = {root_ / "missing"};
    nothing.kernelRelease = [] { return std::string(); };
    DeviceInfo::setSources(nothing);
    diag::Capture capture;
    EXPECT_EQ(supportMailURL("a@b.c"), "mailto:a@b.c?subject=tavlin%20Support&body=%0A%0A%0A%0A");
}

class SupportCommandTest : public DeviceFactsTest {
protected:
    void SetUp() override {
        DeviceFactsTest::SetUp();
        Workspace::setShared(&workspace);
    }
    void TearDown() override {
        Workspace::setShared(nullptr);
        DeviceFactsTest::TearDown();
    }
    FakeWorkspace workspace;
};

TEST_F(SupportCommandTest, OpensTheMailOrTheHomePageWhenTheLinkBreaks) {
    openSupportMail("help@example.org", "https://example.org/");
    ASSERT_EQ(workspace.openedURLs.size(), 1u);
    EXPECT_EQ(workspace.openedURLs[0], std::string("mailto:help@example.org?subject=tavlin%20Support&body=") + expectedFacts);

    for (const char* broken : {"help@example.org%zz", "help me@example.org", "help@exa\nmple.org"}) {
        workspace.openedURLs.clear();
        openSupportMail(broken, "https://example.org/");
        EXPECT_EQ(workspace.openedURLs, std::vector<std::string>{"https://example.org/"}) << broken;
    }
}

} // namespace
} // namespace tavlin::test
