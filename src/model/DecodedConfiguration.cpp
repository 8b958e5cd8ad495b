#include "model/DecodedConfiguration.h"

#include <exception>
#include <mutex>
#include <optional>

#include "model/Configuration.h"
#include "platform/json/Decoding.h"

namespace tavlin::decodedConfiguration {
namespace {

struct Kept {
    std::filesystem::path url;
    files::FileIdentity identity;
    std::shared_ptr<Configuration> configuration; // or:
    std::exception_ptr failure;
};

struct State {
    std::mutex mutex;
    std::optional<Kept> kept;
};

State& state() {
    static State shared;
    return shared;
}

std::shared_ptr<Configuration> answer(const Kept& kept) {
    if (kept.failure) std::rethrow_exception(kept.failure);
    return kept.configuration;
}

} // namespace

std::shared_ptr<Configuration> decode(const std::filesystem::path& url, const files::FileContents& contents) {
    auto& shared = state();
    {
        std::lock_guard lock(shared.mutex);
        if (shared.kept && shared.kept->url == url && shared.kept->identity == contents.identity) return answer(*shared.kept);
    }
    Kept kept{url, contents.identity, nullptr, nullptr};
    try {
        kept.configuration = decodeJson(contents.bytes, [](const JsonReader& reader) { return Configuration::fromJson(reader); });
    } catch (const DecodingError&) {
        kept.failure = std::current_exception();
    }
    std::lock_guard lock(shared.mutex);
    shared.kept = kept;
    return answer(kept);
}

std::shared_ptr<Configuration> load(const std::filesystem::path& url) {
    auto& shared = state();
    if (const auto current = files::identity(url)) {
        std::lock_guard lock(shared.mutex);
        if (shared.kept && shared.kept->url == url && shared.kept->identity == *current) return answer(*shared.kept);
    }
    return decode(url, files::readRegularFile(url, files::maximumConfigurationFileSize));
}

void adopt(const std::filesystem::path& url, const files::FileIdentity& identity, std::shared_ptr<Configuration> configuration) {
    auto& shared = state();
    std::lock_guard lock(shared.mutex);
    shared.kept = Kept{url, identity, std::move(configuration), nullptr};
}

std::optional<files::FileIdentity> keptIdentity(const std::shared_ptr<Configuration>& configuration) {
    auto& shared = state();
    std::lock_guard lock(shared.mutex);
    if (!configuration || !shared.kept || shared.kept->configuration != configuration) return std::nullopt;
    return shared.kept->identity;
}

void replace(const std::shared_ptr<Configuration>& configuration, std::shared_ptr<Configuration> replacement) {
    auto& shared = state();
    std::lock_guard lock(shared.mutex);
    if (configuration && shared.kept && shared.kept->configuration == configuration)
        shared.kept->configuration = std::move(replacement);
}

void forget() {
    auto& shared = state();
    std::lock_guard lock(shared.mutex);
    shared.kept.reset();
}

} // namespace tavlin::decodedConfiguration
