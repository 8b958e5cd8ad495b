#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>

namespace tavlin {

// How many copies of the configuration `backup/` keeps: the newest ones, and the newest of each
// of the last days (counted back from now in spans of 24 hours), so that a state of last week can
// still be found however often the file is saved, and their number stays bounded.
inline constexpr std::size_t keptNewestBackups = 20;
inline constexpr std::size_t keptBackupDays = 7;

// Removes the copies in `folder` that neither rule keeps. Only plain files named as backups are
// ever removed ("configuration_<timestamp>.json"); their time is the one the name gives. Answers
// how many went.
std::size_t pruneConfigurationBackups(const std::filesystem::path& folder, std::chrono::system_clock::time_point now);

} // namespace tavlin
