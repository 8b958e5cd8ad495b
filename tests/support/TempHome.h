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

#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/UserDefaults.h"

namespace tavlin::test {

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

// While it lives: HOME is <root>/home (created), XDG_DATA_HOME <root>/data and XDG_CONFIG_HOME
// <root>/config (not created), and the user-defaults suites are read afresh from there. On
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
        UserDefaults::resetSharedSuites();
    }
    ~TempHome() {
        UserDefaults::resetSharedSuites();
        saved_.restore();
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    const std::filesystem::path& root() const { return root_; }
    std::filesystem::path home() const { return root_ / "home"; }
    std::filesystem::path dataHome() const { return root_ / "data"; }
    std::filesystem::path configHome() const { return root_ / "config"; }

private:
    SavedEnvironment saved_{"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"};
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
