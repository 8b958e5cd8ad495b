#pragma once

// Tests that touch files or settings run in a fresh folder that stands in for HOME and the XDG
// folders, so that nothing reaches the real user's files.

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <pwd.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/files/UserDefaults.h"

// GLib's own way (used by its tests) to move the folders it read once per process. Weak: programs
// without GLib have none.
extern "C" void g_set_user_dirs(const char* firstDirType, ...) __attribute__((weak));

namespace tavlin::test {

// GLib reads HOME and the XDG variables once per process, and GIO's lists of applications and
// default handlers follow what it read: a test that moves them tells GLib, else it would see
// the folders of the first test that asked. Unset or empty variables mean GLib's defaults.
// GLib leaks the folders it replaces; the sanitizer build runs one test per process (CTest),
// where GLib reads them only once the test has set them, so it is left alone there.
inline void followEnvironmentInGLib() {
#ifndef __SANITIZE_ADDRESS__
    if (g_set_user_dirs == nullptr) return;
    const auto variable = [](const char* name, const std::string& fallback) {
        const char* value = std::getenv(name);
        return value != nullptr && *value != '\0' ? std::string(value) : fallback;
    };
    const passwd* user = ::getpwuid(::getuid());
    const std::string home = variable("HOME", user != nullptr && user->pw_dir != nullptr ? user->pw_dir : "/");
    // Split as GLib splits them, empty entries included.
    const auto list = [](const std::string& text) {
        std::vector<std::string> parts;
        std::size_t start = 0;
        for (std::size_t end; (end = text.find(':', start)) != std::string::npos; start = end + 1)
            parts.push_back(text.substr(start, end - start));
        parts.push_back(text.substr(start));
        return parts;
    };
    const auto dataDirs = list(variable("XDG_DATA_DIRS", "/usr/local/share/:/usr/share/"));
    const auto configDirs = list(variable("XDG_CONFIG_DIRS", "/etc/xdg"));
    std::vector<const char*> dataPointers, configPointers;
    for (const auto& dir : dataDirs) dataPointers.push_back(dir.c_str());
    for (const auto& dir : configDirs) configPointers.push_back(dir.c_str());
    dataPointers.push_back(nullptr);
    configPointers.push_back(nullptr);
    g_set_user_dirs("HOME", home.c_str(), "XDG_DATA_HOME", variable("XDG_DATA_HOME", home + "/.local/share").c_str(),
                    "XDG_CONFIG_HOME", variable("XDG_CONFIG_HOME", home + "/.config").c_str(), "XDG_CACHE_HOME",
                    variable("XDG_CACHE_HOME", home + "/.cache").c_str(), "XDG_DATA_DIRS", dataPointers.data(), "XDG_CONFIG_DIRS",
                    configPointers.data(), nullptr);
#endif
}

// Remembers environment variables and puts their values back (unset ones are unset again).
class SavedEnvironment {
public:
    SavedEnvironment(std::initializer_list<const char*> names) {
        for (const char* name : names) {
            const char* value = std::getenv(name);
            saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
    }
    ~SavedEnvironment() { restore(); }
    SavedEnvironment(const SavedEnvironment&) = delete;
    SavedEnvironment& operator=(const SavedEnvironment&) = delete;

    void restore() const {
        for (const auto& [name, value] : saved_) {
            if (value) ::setenv(name.c_str(), value->c_str(), 1);
            else ::unsetenv(name.c_str());
        }
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// While it lives: HOME is <root>/home (created), XDG_DATA_HOME <root>/data, XDG_CONFIG_HOME
// <root>/config and XDG_CACHE_HOME <root>/cache (not created), and the user-defaults suites and GLib read afresh from there. On
// destruction the suites are forgotten, the variables restored and the folder removed.
class TempHome {
public:
    TempHome() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tavlin-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a temporary folder");
        root_ = pattern;
        std::filesystem::create_directories(home());
        ::setenv("HOME", home().c_str(), 1);
        ::setenv("XDG_DATA_HOME", dataHome().c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", configHome().c_str(), 1);
        ::setenv("XDG_CACHE_HOME", cacheHome().c_str(), 1);
        followEnvironmentInGLib();
        UserDefaults::resetSharedSuites();
    }
    ~TempHome() {
        UserDefaults::resetSharedSuites();
        saved_.restore();
        followEnvironmentInGLib();
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    const std::filesystem::path& root() const { return root_; }
    std::filesystem::path home() const { return root_ / "home"; }
    std::filesystem::path dataHome() const { return root_ / "data"; }
    std::filesystem::path configHome() const { return root_ / "config"; }
    std::filesystem::path cacheHome() const { return root_ / "cache"; }

private:
    SavedEnvironment saved_{"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"};
    std::filesystem::path root_;
};

// A fixture whose every test runs inside its own TempHome; `root_` is the temporary folder.
class TempHomeTest : public ::testing::Test {
protected:
    void SetUp() override {
        tempHome_.emplace();
        root_ = tempHome_->root();
    }
    void TearDown() override { tempHome_.reset(); }

    const TempHome& tempHome() const { return *tempHome_; }

    std::filesystem::path root_;

private:
    std::optional<TempHome> tempHome_;
};

// The file's bytes; empty when it cannot be read.
inline std::string fileContents(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Writes the bytes, creating missing parent folders.
inline void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// The names in a folder, sorted; empty when it does not exist.
inline std::vector<std::string> folderEntries(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(folder, ec); !ec && it != std::filesystem::directory_iterator();
         it.increment(ec)) {
        names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace tavlin::test
