#include <gtest/gtest.h>

#include "configwindow/WindowTestSupport.h"
#include "configwindow/core/ConfigurationWindowModel.h"
#include "engine/LeaderKeys.h"
#include "engine/ShellServices.h"
#include "model/LeaderKeyCache.h"

namespace tavlin {
namespace {

using namespace test;

class ConfigurationWindowModelTest : public TempHomeTest {};

TEST_F(ConfigurationWindowModelTest, AChangeIsAnnouncedEditedSavedAndBackedUpInThatOrder) {
    ConfigurationWindowModel model(writeAndLoad(smallTreeText()));
    cachedLeaderKeys() = std::vector<HotKey>{};
    std::vector<std::string> steps;
    model.addObserver({[&] { steps.push_back("about " + std::to_string(model.rootDecision()->actions.size())); },
                       [&] { steps.push_back("changed " + std::to_string(backupCount())); }});
    model.applyChange([&] {
        steps.push_back("edit");
        model.rootDecision()->actions.pop_back();
    });
    EXPECT_EQ(steps, (std::vector<std::string>{"about 3", "edit", "changed 1"}));
    EXPECT_FALSE(cachedLeaderKeys().has_value());
    EXPECT_EQ(titles(*loadConfiguration(SearchPathDirectory::applicationSupport, Configuration::relativePath())->decision),
              (std::vector<std::string>{"a", "b"}));
}

TEST_F(ConfigurationWindowModelTest, ALoadErrorIsReportedOnSaveAndNothingIsWritten) {
    AlertRecorder recorder;
    writeFile(configurationFile(), "{}");
    ConfigurationWindowModel model(std::string("The data is missing."));
    model.save();
    ASSERT_EQ(recorder.alerts.size(), 1u);
    EXPECT_EQ(recorder.alerts[0],
              std::make_pair(std::string("Failed to save configuration"), std::string("The data is missing.")));
    EXPECT_EQ(fileContents(configurationFile()), "{}");
    EXPECT_EQ(backupCount(), 0u);
}

TEST_F(ConfigurationWindowModelTest, AFailedWriteKeepsTheCacheAndMakesNoBackup) {
    AlertRecorder recorder;
    ConfigurationWindowModel model(writeAndLoad(smallTreeText()));
    // A folder where the file was: the rename over it fails, whoever runs the test.
    std::filesystem::remove(configurationFile());
    std::filesystem::create_directories(configurationFile() / "in-the-way");
    cachedLeaderKeys() = std::vector<HotKey>{};
    model.applyChange([&] { model.rootDecision()->actions.clear(); });
    ASSERT_EQ(recorder.alerts.size(), 1u);
    EXPECT_EQ(recorder.alerts[0].first, "Failed to save configuration");
    EXPECT_TRUE(cachedLeaderKeys().has_value());
    EXPECT_EQ(backupCount(), 0u);
    cachedLeaderKeys() = std::nullopt;
}

// The leader keys are registered from the file first, as the application does, and report a file
// that does not load; the window then shows its error and writes nothing.
TEST_F(ConfigurationWindowModelTest, ReloadTakesTheFileAsItIsNowOrItsError) {
    AlertRecorder recorder;
    ShellServices::shared().reloadLeaderKeys = reloadLeaderKeys;
    const std::shared_ptr<void> unwire(nullptr, [](void*) { unregisterAllLeaderKeys(), ShellServices::shared() = {}; });
    ConfigurationWindowModel model(writeAndLoad(smallTreeText()));
    writeFile(configurationFile(), R"({"hotKeys": [], "decision": {"actions": [{"sleep": {}}], "chances": []}})");
    model.reloadConfigurationFile();
    ASSERT_TRUE(model.configuration());
    EXPECT_EQ(titles(*model.rootDecision()), (std::vector<std::string>{"sleep"}));
    EXPECT_EQ(backupCount(), 1u);
    EXPECT_TRUE(recorder.alerts.empty());

    writeFile(configurationFile(), "{}");
    model.reloadConfigurationFile();
    ASSERT_TRUE(model.error());
    ASSERT_EQ(recorder.alerts.size(), 1u);
    EXPECT_EQ(recorder.alerts[0], std::make_pair(std::string("Invalid configuration file"), *model.error()));
    EXPECT_EQ(fileContents(configurationFile()), "{}");
    EXPECT_EQ(backupCount(), 1u);
}

// Another program wrote the file while the window showed it: the edit is refused, their version
// is kept (in the file and a backup) and shown, and the next edit applies to it.
TEST_F(ConfigurationWindowModelTest, AnEditAfterAnotherWriterChangedTheFileIsRefusedAndTheirVersionKept) {
    AlertRecorder recorder;
    ConfigurationWindowModel model(writeAndLoad(smallTreeText()));
    const std::string theirs = R"({"hotKeys": [], "decision": {"actions": [{"sleep": {}}], "chances": []}})";
    writeFile(configurationFile(), theirs);

    EXPECT_FALSE(model.applyChange([&] { model.rootDecision()->actions.clear(); }));
    EXPECT_EQ(fileContents(configurationFile()), theirs);
    EXPECT_EQ(fileContents(backupFolder() / folderEntries(backupFolder()).at(0)), theirs);
    EXPECT_EQ(recorder.alerts.at(0).first, "Failed to save configuration");
    EXPECT_EQ(titles(*model.rootDecision()), (std::vector<std::string>{"sleep"}));

    EXPECT_TRUE(model.applyChange([&] { model.rootDecision()->chances.push_back(Decision::example()->chances[0]); }));
    EXPECT_EQ(loadConfiguration(SearchPathDirectory::applicationSupport, Configuration::relativePath())->decision->chances.size(),
              1u);
}

TEST_F(ConfigurationWindowModelTest, TheSampleTreeFillsAnEmptyTreeAndCanBeLoadedAgain) {
    ConfigurationWindowModel model(writeAndLoad(R"({"hotKeys": [], "decision": {"actions": [], "chances": []}})"));
    model.loadSampleDecision();
    const auto first = model.rootDecision();
    ASSERT_FALSE(first->chances.empty());
    model.applyChange([&] {
        model.rootDecision()->chances.clear();
        model.rootDecision()->actions.clear();
    });
    model.loadSampleDecision();
    EXPECT_NE(model.rootDecision(), first);
    EXPECT_FALSE(model.rootDecision()->chances.empty());
    EXPECT_GE(backupCount(), 1u); // saves within one millisecond share a name
}

} // namespace
} // namespace tavlin
