#pragma once

#include <filesystem>
#include <functional>

// Whether the process may read or write a path now. The probe is replaceable because tests run
// as root, where access(2) says yes to everything.
namespace tavlin::fileAccess {

enum class Mode { read, readWrite };

using Probe = std::function<bool(const std::filesystem::path& path, Mode mode)>;

// access(2) with R_OK, or R_OK | W_OK, through the current probe.
bool isReadable(const std::filesystem::path& path);
bool isReadWritable(const std::filesystem::path& path);

// Replaces the probe and answers the previous one. An empty probe restores access(2).
Probe setProbe(Probe probe);

} // namespace tavlin::fileAccess
