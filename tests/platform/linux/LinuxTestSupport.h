#pragma once

// Real programs in a temporary HOME: fake programs are small shell scripts the tests write, found
// first in PATH, that record the arguments they were given.

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/base/MainQueue.h"
#include "support/TempHome.h"

namespace tavlin::xdg::test {

namespace fs = std::filesystem;
using tavlin::test::fileContents;
using tavlin::test::writeFile;

inline void writeExecutable(const fs::path& path, const std::string& text) {
    writeFile(path, text);
    fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
}

// Single-quoted for the scripts the tests write (the folders are ours, but be exact anyway).
inline std::string shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// A script that, per run, writes its arguments (NUL-separated) to <folder>/<pid>, together with
// <pid>.stat (its /proc stat line) and <pid>.stdin (what its standard input is), then exits
// with `status`. The arguments file appears whole, last.
inline std::string recorderScript(const fs::path& folder, int status, const std::string& before = {}) {
    const std::string base = shellQuoted(folder.string()) + "/$$";
    return "#!/bin/sh\n" + before + "cat /proc/$$/stat > " + base +
           ".stat\n"
           "readlink /proc/$$/fd/0 > " +
           base +
           ".stdin\n"
           "for a in \"$@\"; do printf '%s\\0' \"$a\"; done > " +
           base +
           ".tmp\n"
           "mv " +
           base + ".tmp " + base +
           "\n"
           "exit " +
           std::to_string(status) + "\n";
}

// The process ids of the recorder's finished runs in `folder`, ordered by name.
inline std::vector<std::string> recordedRunNames(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& name : tavlin::test::folderEntries(folder)) {
        if (name.find('.') == std::string::npos) names.push_back(name);
    }
    return names;
}

// The argument lists the recorder wrote in `folder`, one per run, ordered by name.
inline std::vector<std::vector<std::string>> recordedRuns(const fs::path& folder) {
    std::vector<std::vector<std::string>> runs;
    for (const auto& name : recordedRunNames(folder)) {
        std::vector<std::string> arguments;
        const std::string bytes = fileContents(folder / name);
        std::size_t start = 0;
        for (std::size_t end; (end = bytes.find('\0', start)) != std::string::npos; start = end + 1) {
            arguments.push_back(bytes.substr(start, end - start));
        }
        runs.push_back(std::move(arguments));
    }
    return runs;
}

// Waits (in real time, bounded) until `done` holds.
inline bool eventually(const std::function<bool()>& done, double seconds = 5) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// Turns the queue and moves its clock while real processes run, until `done` holds.
inline bool pumpUntil(VirtualMainQueue& queue, const std::function<bool()>& done, double seconds = 5) {
    return eventually(
        [&] {
            queue.advance(0.05);
            return done();
        },
        seconds);
}

// Children of this process that have ended but were not reaped.
inline std::vector<pid_t> zombieChildren() {
    std::vector<pid_t> zombies;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        const std::string stat = fileContents(entry.path() / "stat");
        const auto close = stat.rfind(')');
        if (close == std::string::npos) continue;
        char state = 0;
        long parent = 0;
        if (std::sscanf(stat.c_str() + close + 1, " %c %ld", &state, &parent) != 2) continue;
        if (parent == ::getpid() && state == 'Z') zombies.push_back(std::stoi(entry.path().filename().string()));
    }
    return zombies;
}

// Parent and session of a process, from the stat line a recorder wrote.
struct ProcessPlace {
    long parent = 0;
    long session = 0;
};
inline ProcessPlace placeFromStat(const std::string& stat) {
    ProcessPlace place;
    const auto close = stat.rfind(')');
    if (close == std::string::npos) return place;
    char state = 0;
    long group = 0;
    std::sscanf(stat.c_str() + close + 1, " %c %ld %ld %ld", &state, &place.parent, &group, &place.session);
    return place;
}

// A temporary HOME, XDG_DATA_DIRS of two folders of our own, and PATH with our bin folder first
// (then the system's, for the shell tools the fake programs use).
class LinuxWorkspaceTest : public tavlin::test::TempHomeTest {
protected:
    void SetUp() override {
        TempHomeTest::SetUp();
        bin_ = root_ / "bin";
        records_ = root_ / "records";
        fs::create_directories(bin_);
        fs::create_directories(records_);
        systemData_ = root_ / "system-data";
        vendorData_ = root_ / "vendor-data";
        ::setenv("XDG_DATA_DIRS", (systemData_.string() + ":" + vendorData_.string()).c_str(), 1);
        tavlin::test::followEnvironmentInGLib();
        ::setenv("PATH", (bin_.string() + ":/usr/local/bin:/usr/bin:/bin").c_str(), 1);
    }

    fs::path userApplications() const { return tempHome().dataHome() / "applications"; }
    fs::path systemApplications() const { return systemData_ / "applications"; }
    fs::path vendorApplications() const { return vendorData_ / "applications"; }

    fs::path bin_;
    fs::path records_;
    fs::path systemData_;
    fs::path vendorData_;

private:
    tavlin::test::SavedEnvironment savedEnvironment_{"PATH", "XDG_DATA_DIRS"};
};

} // namespace tavlin::xdg::test
