#pragma once

// Device facts read from files a test writes, with a kernel release it chooses.

#include <string>

#include "app/DeviceInfo.h"
#include "platform/desktop/BundleInfo.h"
#include "support/TempHome.h"

namespace tavlin::test {

class DeviceFactsTest : public TempHomeTest {
protected:
    void SetUp() override {
        TempHomeTest::SetUp();
        setMainBundleInfo(BundleInfo{"tavlin", "1.2", "34"});
        writeFile(etcOsRelease(), "NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nID=debian\n");
        writeFile(dmiModel(), "Standard PC (Q35 + ICH9, 2009)\n");
        useSources();
    }
    void TearDown() override {
        DeviceInfo::setSources(std::nullopt);
        setMainBundleInfo(std::nullopt);
        TempHomeTest::TearDown();
    }

    std::filesystem::path etcOsRelease() const { return root_ / "etc-os-release"; }
    std::filesystem::path libOsRelease() const { return root_ / "lib-os-release"; }
    std::filesystem::path dmiModel() const { return root_ / "product_name"; }
    std::filesystem::path deviceTreeModel() const { return root_ / "model"; }

    void useSources() {
        DeviceInfo::Sources sources;
        sources.osReleaseFiles = {etcOsRelease(), libOsRelease()};
        sources.modelFiles = {dmiModel(), deviceTreeModel()};
        sources.kernelRelease = [this] { return kernelRelease; };
        DeviceInfo::setSources(sources);
    }

    std::string kernelRelease = "6.1.0-18-amd64";
};

} // namespace tavlin::test
