// The support mail link with injected facts, and the choice between it and the home page.

#include <gtest/gtest.h>

#include <QtCore/QUrl>

#include "app/SupportMail.h"
#include "app/window/DeviceFacts.h"
#include "engine/EngineHarness.h"
#include "platform/base/Diagnostics.h"

namespace tavlin::test {
namespace {

constexpr const char* expectedFacts =
    "%0A%0A%0A%0Atavlin%201.2%20%2834%29%0ADebian%20GNU%2FLinux%2012%20%28bookworm%29%2C%20Linux%206.1.0"
    "%0AStandard%20PC%20%28Q35%20%2B%20ICH9%2C%202009%29";

class SupportMailTest : public DeviceFactsTest {};

TEST_F(SupportMailTest, TheLinkHoldsTheSubjectFourLineFeedsAndTheFactLines) {
    EXPECT_EQ(supportMailURL("help@example.org"),
              std::string("mailto:help@example.org?subject=tavlin%20Support&body=") + expectedFacts);
    EXPECT_EQ(supportMailURL(), std::string("mailto:support@tavlin.example?subject=tavlin%20Support&body=") + expectedFacts);
    EXPECT_TRUE(QUrl(QString::fromStdString(supportMailURL()), QUrl::StrictMode).isValid());
}

// A mail program splits the body at "&" or "#" and reads "+" as a space: only the unreserved
// characters stay.
TEST(PercentEncodingTest, KeepsOnlyTheUnreservedCharacters) {
    EXPECT_EQ(percentEncodedForQuery("a&b=c+d #1\n"), "a%26b%3Dc%2Bd%20%231%0A");
    EXPECT_EQ(percentEncodedForQuery("AZaz09-._~"), "AZaz09-._~");
    EXPECT_EQ(percentEncodedForQuery("!$'()*,;:@/?"), "%21%24%27%28%29%2A%2C%3B%3A%40%2F%3F");
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
              "Debian%20GNU%2FLinux%2012%20%28bookworm%29%2C%20Linux%206.1.0"
              "%0AStandard%20PC%20%28Q35%20%2B%20ICH9%2C%202009%29");
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
