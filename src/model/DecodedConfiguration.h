#pragma once

#include <filesystem>
#include <memory>
#include <optional>

#include "platform/files/Files.h"

namespace tavlin {

class Configuration;

// The configuration file decoded once per version of the file. Every reader asks for it at each
// use (so an edit takes effect at the next session), but the file is only read and decoded again
// when its identity (device, inode, size, modification and change time) differs from the one the
// kept copy was decoded from; a file that failed to decode fails again without being read. The
// copy is shared by every reader: nobody may change it (an editor works on a copy of its own).
// Thread-safe.
namespace decodedConfiguration {

// The configuration in the file at `url`. Throws FileError or DecodingError.
std::shared_ptr<Configuration> load(const std::filesystem::path& url);
// The same for bytes already read from it, which are decoded unless the kept copy is theirs.
std::shared_ptr<Configuration> decode(const std::filesystem::path& url, const files::FileContents& contents);
// Keeps `configuration` as what the file at `url` decodes to while it has `identity`: the
// caller knows the file holds its encoding (it was just written or compared).
void adopt(const std::filesystem::path& url, const files::FileIdentity& identity, std::shared_ptr<Configuration> configuration);
// The identity of the file `configuration` was decoded from, while it is the kept copy.
std::optional<files::FileIdentity> keptIdentity(const std::shared_ptr<Configuration>& configuration);
// Keeps `replacement` instead of `configuration` while that is the kept copy, for the same file
// version: a reader about to change its copy in place hands the others one of their own.
void replace(const std::shared_ptr<Configuration>& configuration, std::shared_ptr<Configuration> replacement);
// Drops the kept copy. Writes of the file call it, so that a file replaced within one tick of
// the clock by one of the same size, and given a reused inode, is never mistaken for the old.
void forget();

} // namespace decodedConfiguration
} // namespace tavlin
