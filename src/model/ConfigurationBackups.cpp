#include "model/ConfigurationBackups.h"

#include <algorithm>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace tavlin {
namespace {

// The instant a backup's name gives ("configuration_yyyy-MM-dd_HH-mm-ss.SSS+hhmm.json", local
// time with its offset); nothing for any other name.
std::optional<std::chrono::system_clock::time_point> backupTime(const std::string& name) {
    // '#' a digit, '~' the offset's sign; every other character as it stands.
    constexpr std::string_view shape = "configuration_####-##-##_##-##-##.###~####.json";
    if (name.size() != shape.size()) return std::nullopt;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        const bool fits = shape[i] == '#' ? c >= '0' && c <= '9' : shape[i] == '~' ? c == '+' || c == '-' : c == shape[i];
        if (!fits) return std::nullopt;
    }
    const auto number = [&](std::size_t at, std::size_t length) { return std::stoi(name.substr(at, length)); };
    std::tm fields{};
    fields.tm_year = number(14, 4) - 1900;
    fields.tm_mon = number(19, 2) - 1;
    fields.tm_mday = number(22, 2);
    fields.tm_hour = number(25, 2);
    fields.tm_min = number(28, 2);
    fields.tm_sec = number(31, 2);
    const long offset = (number(38, 2) * 3600L + number(40, 2) * 60L) * (name[37] == '-' ? -1 : 1);
    return std::chrono::system_clock::from_time_t(::timegm(&fields) - offset) + std::chrono::milliseconds(number(34, 3));
}

} // namespace

std::size_t pruneConfigurationBackups(const std::filesystem::path& folder, std::chrono::system_clock::time_point now) {
    std::vector<std::pair<std::chrono::system_clock::time_point, std::filesystem::path>> backups;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
        std::error_code kind;
        if (entry->is_symlink(kind) || !entry->is_regular_file(kind)) continue;
        if (const auto time = backupTime(entry->path().filename().string())) backups.emplace_back(*time, entry->path());
    }
    std::sort(backups.begin(), backups.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    // Newest first: the first copy met of a day is that day's newest.
    std::vector<bool> dayKept(keptBackupDays, false);
    std::size_t removed = 0;
    for (std::size_t i = 0; i < backups.size(); ++i) {
        const auto age = now - backups[i].first;
        const auto day = age < std::chrono::hours(0) ? -1 : age / std::chrono::hours(24);
        const bool newestOfItsDay = day >= 0 && day < static_cast<long>(keptBackupDays) && !dayKept[day];
        if (newestOfItsDay) dayKept[day] = true;
        if (i < keptNewestBackups || newestOfItsDay) continue;
        std::error_code gone;
        if (std::filesystem::remove(backups[i].second, gone)) ++removed;
    }
    return removed;
}

} // namespace tavlin
