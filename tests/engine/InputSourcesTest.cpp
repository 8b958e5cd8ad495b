#include <set>

#include <gtest/gtest.h>

#include "engine/InputSources.h"
#include "model/SelectableInputSources.h"

namespace tavlin::test {
namespace {

class FakeInputSourceProvider : public InputSourceProvider {
public:
    std::vector<PlatformInputSource> enabledInputSources() override { return sources; }
    std::optional<std::string> currentInputSourceID() override { return std::nullopt; }
    bool selectInputSource(const std::string&) override { return false; }
    bool canLoadImage(const std::string& path) override { return loadable.count(path) > 0; }

    std::vector<PlatformInputSource> sources;
    std::set<std::string> loadable;
};

PlatformInputSource source(std::string id, std::string name) {
    PlatformInputSource made;
    made.id = std::move(id);
    made.localizedName = std::move(name);
    return made;
}

class InputSourcesTest : public ::testing::Test {
protected:
    void SetUp() override { InputSourceManager::setProvider(&provider); }
    void TearDown() override {
        InputSourceManager::setProvider(nullptr);
        InputSourceManager::reloadSelectableInputSources();
        InputSourceManager::setKeystrokePoster(nullptr);
    }

    std::vector<std::string> listedIDs() const {
        std::vector<std::string> ids;
        for (const auto& listed : InputSourceManager::selectableInputSources()) ids.push_back(listed.id);
        return ids;
    }

    FakeInputSourceProvider provider;
};

TEST_F(InputSourcesTest, OnlySelectableKeyboardSourcesAreListedInOrder) {
    auto palette = source("palette", "Emoji");
    palette.isKeyboardInputSource = false;
    auto fixed = source("fixed", "Not selectable");
    fixed.isSelectCapable = false;
    provider.sources = {source("xkb:us", "English (US)"), palette, fixed, source("xkb:fr", "French"), source("", "No id"),
                        source("xkb:us", "English again")};
    InputSourceManager::reloadSelectableInputSources();
    EXPECT_EQ(listedIDs(), (std::vector<std::string>{"xkb:us", "xkb:fr", "xkb:us"}));
    // Descriptions of switch actions find the names.
    EXPECT_EQ(selectableInputSourceName("xkb:fr"), "French");
    EXPECT_EQ(selectableInputSourceName("xkb:us"), "English (US)");
    EXPECT_EQ(selectableInputSourceName("palette"), std::nullopt);

    // Each refresh replaces the list whole.
    provider.sources = {source("xkb:de", "German")};
    InputSourceManager::reloadSelectableInputSources();
    EXPECT_EQ(listedIDs(), std::vector<std::string>{"xkb:de"});
    EXPECT_EQ(selectableInputSourceName("xkb:fr"), std::nullopt);
}

TEST_F(InputSourcesTest, WithoutADesktopTheListIsEmpty) {
    provider.sources = {source("xkb:us", "English (US)")};
    InputSourceManager::reloadSelectableInputSources();
    InputSourceManager::setProvider(nullptr);
    InputSourceManager::reloadSelectableInputSources();
    EXPECT_TRUE(InputSourceManager::selectableInputSources().empty());
    EXPECT_TRUE(selectableInputSources().empty());
}

TEST_F(InputSourcesTest, IconPrefersDoubleResolutionThenTiffThenTheFile) {
    const auto withIcon = [](const std::string& path) {
        auto made = source("xkb:us", "English (US)");
        made.iconImagePath = path;
        return made;
    };
    const auto iconOf = [&](const PlatformInputSource& from) {
        return InputSource(from, [&](const std::string& path) { return provider.canLoadImage(path); }).icon;
    };
    using File = InputSource::ImageFile;

    provider.loadable = {"/icons/us@2x.png", "/icons/us.tiff", "/icons/us.png"};
    EXPECT_EQ(iconOf(withIcon("/icons/us.png")), InputSource::Icon(File{"/icons/us@2x.png"}));
    provider.loadable = {"/icons/us.tiff", "/icons/us.png"};
    EXPECT_EQ(iconOf(withIcon("/icons/us.png")), InputSource::Icon(File{"/icons/us.tiff"}));
    provider.loadable = {"/icons/us.png"};
    EXPECT_EQ(iconOf(withIcon("/icons/us.png")), InputSource::Icon(File{"/icons/us.png"}));
    provider.loadable = {};
    EXPECT_EQ(iconOf(withIcon("/icons/us.png")), std::nullopt);

    // A named icon serves when there is no image file, and only then.
    auto named = source("xkb:us", "English (US)");
    named.iconName = "input-keyboard";
    EXPECT_EQ(iconOf(named), InputSource::Icon(InputSource::NamedIcon{"input-keyboard"}));
    named.iconImagePath = "/icons/missing.png";
    EXPECT_EQ(iconOf(named), std::nullopt);
    EXPECT_EQ(iconOf(source("xkb:us", "English (US)")), std::nullopt);
}

TEST(InputSourceIcon, DoubleResolutionMarkerStandsBeforeTheExtension) {
    EXPECT_EQ(InputSource::iconURLCandidate("/a/b/flag.png"), "/a/b/flag@2x.png");
    EXPECT_EQ(InputSource::iconURLCandidate("/a.png/b/flag.png.png"), "/a.png/b/flag@2x.png@2x.png");
    EXPECT_EQ(InputSource::iconURLCandidate("/a/b/flag"), "/a/b/flag");
}

TEST(InputSourceEquality, OnlyTheIdentifierCounts) {
    const auto never = [](const std::string&) { return false; };
    EXPECT_EQ(InputSource(source("xkb:us", "English"), never), InputSource(source("xkb:us", "Anglais"), never));
    EXPECT_FALSE(InputSource(source("xkb:us", "English"), never) == InputSource(source("xkb:gb", "English"), never));
}

TEST_F(InputSourcesTest, SelectPreviousPostsSuperShiftSpace) {
    InputSourceManager::selectPrevious(); // nothing installed: nothing happens
    std::vector<std::pair<int, std::uint32_t>> posted;
    InputSourceManager::setKeystrokePoster([&](int keyCode, std::uint32_t mask) { posted.emplace_back(keyCode, mask); });
    InputSourceManager::selectPrevious();
    EXPECT_EQ(posted, (std::vector<std::pair<int, std::uint32_t>>{{49, 0x100u | 0x200u}}));
}

} // namespace
} // namespace tavlin::test
