// Device facts from odd, broken and hostile sources: each gives a shorter or sane line and a
// valid mail link, never a crash.

#include <gtest/gtest.h>

#include <QtCore/QUrl>

#include "app/SupportMail.h"
#include "app/window/DeviceFacts.h"
#include "platform/base/Diagnostics.h"

namespace tavlin::test {
namespace {

class DeviceInfoTest : public DeviceFactsTest {
protected:
    void TearDown() override {
        EXPECT_TRUE(QUrl(QString::fromStdString(supportMailURL()), QUrl::StrictMode).isValid()) << supportMailURL();
        DeviceFactsTest::TearDown();
    }
    void writeOsRelease(const std::string& bytes) { writeFile(etcOsRelease(), bytes); }
};

TEST_F(DeviceInfoTest, TheFactLinesInTheOrderAskedFor) {
    using Kind = DeviceInfo::InfoKind;
    EXPECT_EQ(DeviceInfo::appVersion(), "1.2 (34)");
    EXPECT_EQ(DeviceInfo::description({Kind::deviceModel, Kind::appVersion, Kind::osVersion}),
              "Standard PC (Q35 + ICH9, 2009)\ntavlin 1.2 (34)\nDebian GNU/Linux 12 (bookworm), Linux 6.1.0");
    EXPECT_EQ(DeviceInfo::description({}), "");
}

TEST_F(DeviceInfoTest, TheSystemsNameComesFromTheFirstOsReleaseThatCanBeRead) {
    writeFile(libOsRelease(), "PRETTY_NAME='Fallback OS 1'\n");
    std::filesystem::remove(etcOsRelease());
    EXPECT_EQ(DeviceInfo::osVersion(), "Fallback OS 1, Linux 6.1.0");
    std::filesystem::remove(libOsRelease());
    EXPECT_EQ(DeviceInfo::osVersion(), "Linux 6.1.0") << "both missing";
    // A folder where the file should be cannot be read as one.
    std::filesystem::create_directories(etcOsRelease());
    EXPECT_EQ(DeviceInfo::osVersion(), "Linux 6.1.0");
}

TEST_F(DeviceInfoTest, PrettyNamesAreUnquotedCleanedAndBounded) {
    writeOsRelease("PRETTY_NAME=Bare\n");
    EXPECT_EQ(DeviceInfo::osVersion(), "Bare, Linux 6.1.0");
    writeOsRelease("ID=x\nPRETTY_NAME=\"Say \\\"hi\\\" \\$5\"");
    EXPECT_EQ(DeviceInfo::osVersion(), "Say \"hi\" $5, Linux 6.1.0") << "escapes, and no line feed at the end";
    writeOsRelease("NAME=x\nVERSION=1\n");
    EXPECT_EQ(DeviceInfo::osVersion(), "Linux 6.1.0") << "no PRETTY_NAME";
    writeOsRelease("PRETTY_NAME=\"\"\n");
    EXPECT_EQ(DeviceInfo::osVersion(), "Linux 6.1.0") << "empty";
    writeOsRelease("PRETTY_NAME=\"Evil\x1b[31m OS\r\t\x7f 1\xc2\x85\"\n");
    EXPECT_EQ(DeviceInfo::osVersion(), "Evil[31m OS 1, Linux 6.1.0") << "control characters";
    writeOsRelease("PRETTY_NAME=\"" + std::string(200000, 'A') + "\"\n");
    EXPECT_EQ(DeviceInfo::osVersion(), "Linux 6.1.0") << "a huge line";
    writeOsRelease("PRETTY_NAME=\"Bad \xff\xfe\"\n");
    EXPECT_EQ(DeviceInfo::osVersion(), "Linux 6.1.0") << "not UTF-8";
    writeOsRelease(std::string("\0\0\x01PRETTY_NAME\0", 16));
    EXPECT_EQ(DeviceInfo::osVersion(), "Linux 6.1.0") << "binary";
}

TEST_F(DeviceInfoTest, KernelReleasesGiveThreeNumbersOrNothing) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"6.1.0-18-amd64", "Linux 6.1.0"}, {"6", "Linux 6.0.0"},  {"6.1-rc2", "Linux 6.1.0"},
        {"5.15.0.1.2", "Linux 5.15.0"},    {"6.", "Linux 6.0.0"}, {"4.19.255+", "Linux 4.19.255"},
    };
    for (const auto& [release, expected] : cases) {
        kernelRelease = release;
        EXPECT_EQ(DeviceInfo::osVersion(), "Debian GNU/Linux 12 (bookworm), " + expected) << release;
    }
    for (const char* odd : {"", "rc1", "-5", "99999999999999999999999999.1"}) {
        kernelRelease = odd;
        EXPECT_EQ(DeviceInfo::osVersion(), "Debian GNU/Linux 12 (bookworm)") << odd;
    }
    std::filesystem::remove(etcOsRelease());
    kernelRelease = "";
    EXPECT_EQ(DeviceInfo::osVersion(), std::nullopt);
    EXPECT_EQ(DeviceInfo::description({DeviceInfo::InfoKind::osVersion}), "");
}

TEST_F(DeviceInfoTest, TheModelIsTrimmedOfControlCharactersAtBothEnds) {
    writeFile(dmiModel(), std::string("\n\tQEMU Standard PC\0\n", 20));
    EXPECT_EQ(DeviceInfo::deviceModel(), "QEMU Standard PC");
    writeFile(dmiModel(), "  spaced  \n");
    EXPECT_EQ(DeviceInfo::deviceModel(), "  spaced  ") << "spaces are no control characters";
    // The device tree's model ends in NUL.
    std::filesystem::remove(dmiModel());
    writeFile(deviceTreeModel(), std::string("Raspberry Pi 4 Model B Rev 1.4\0", 31));
    EXPECT_EQ(DeviceInfo::deviceModel(), "Raspberry Pi 4 Model B Rev 1.4");
}

TEST_F(DeviceInfoTest, AModelThatIsAbsentEmptyOrBinaryIsLeftOutOrTakenFromTheDeviceTree) {
    writeFile(deviceTreeModel(), std::string("Board\0", 6));
    for (const std::string& bad : {std::string(), std::string("\0\n", 2), std::string("\xff\xd8\xff\xe0\x00\x10JFIF", 10)}) {
        writeFile(dmiModel(), bad);
        EXPECT_EQ(DeviceInfo::deviceModel(), "Board");
    }
    std::filesystem::remove(deviceTreeModel());
    EXPECT_EQ(DeviceInfo::deviceModel(), std::nullopt);
    std::filesystem::remove(dmiModel());
    EXPECT_EQ(DeviceInfo::deviceModel(), std::nullopt);
    EXPECT_EQ(DeviceInfo::description({DeviceInfo::InfoKind::deviceModel, DeviceInfo::InfoKind::appVersion}), "tavlin 1.2 (34)");
}

TEST_F(DeviceInfoTest, AHugeModelFileIsReadOnlyToItsFirstFourKiB) {
    writeFile(dmiModel(), std::string(1 << 20, 'M'));
    EXPECT_EQ(DeviceInfo::deviceModel(), std::string(4096, 'M'));
    // Cut in the middle of a character: no longer UTF-8, so left out.
    writeFile(dmiModel(), std::string(4095, 'M') + "é and more");
    writeFile(deviceTreeModel(), "");
    EXPECT_EQ(DeviceInfo::deviceModel(), std::nullopt);
}

} // namespace
} // namespace tavlin::test
