#include "engine/InputSources.h"

#include <filesystem>

#include "model/KeyNames.h"
#include "model/SelectableInputSources.h"
#include "platform/keys/VirtualKeyCodes.h"

namespace tavlin {
namespace {

InputSourceProvider*& provider() {
    static InputSourceProvider* current = nullptr;
    return current;
}

InputSourceManager::KeystrokePoster& keystrokePoster() {
    static InputSourceManager::KeystrokePoster poster;
    return poster;
}

std::vector<InputSource>& sources() {
    static std::vector<InputSource> list;
    return list;
}

std::string replacingAll(std::string text, const std::string& from, const std::string& to) {
    if (from.empty()) return text;
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

} // namespace

InputSource::InputSource(PlatformInputSource source, const std::function<bool(const std::string&)>& canLoadImage)
    : id(source.id), name(source.localizedName) {
    const auto loadable = [&](const std::string& path) { return canLoadImage && canLoadImage(path); };
    if (source.iconImagePath) {
        const std::string& path = *source.iconImagePath;
        const auto doubleResolution = iconURLCandidate(path);
        const auto tiff = std::filesystem::path(path).replace_extension("tiff").string();
        for (const auto& candidate : {doubleResolution, tiff, path}) {
            if (loadable(candidate)) {
                icon = ImageFile{candidate};
                break;
            }
        }
    } else if (source.iconName) {
        icon = NamedIcon{*source.iconName};
    }
    tisInputSource = std::move(source);
}

std::string InputSource::iconURLCandidate(const std::string& path) {
    const std::filesystem::path file(path);
    const auto extension = file.extension().string(); // with its dot, empty when there is none
    if (extension.empty()) return path;
    const auto fileName = replacingAll(file.filename().string(), extension, "@2x" + extension);
    return (file.parent_path() / fileName).string();
}

void InputSourceManager::setProvider(InputSourceProvider* newProvider) { provider() = newProvider; }

void InputSourceManager::setKeystrokePoster(KeystrokePoster poster) { keystrokePoster() = std::move(poster); }

const std::vector<InputSource>& InputSourceManager::selectableInputSources() { return sources(); }

void InputSourceManager::reloadSelectableInputSources() {
    std::vector<InputSource> list;
    std::vector<SelectableInputSource> names;
    if (auto* current = provider()) {
        const auto canLoadImage = [current](const std::string& path) { return current->canLoadImage(path); };
        for (auto& source : current->enabledInputSources()) {
            if (!source.isKeyboardInputSource || !source.isSelectCapable) continue;
            // A source without identifier or name cannot be named by an action or shown.
            if (source.id.empty() || source.localizedName.empty()) continue;
            names.push_back({source.id, source.localizedName});
            list.emplace_back(std::move(source), canLoadImage);
        }
    }
    sources() = std::move(list);
    setSelectableInputSources(std::move(names));
}

void InputSourceManager::selectPrevious() {
    // Command is Super on X11: Super+Shift+Space is the desktops' "previous input source".
    if (const auto& poster = keystrokePoster()) poster(keycodes::space, carbon::command | carbon::shift);
}

} // namespace tavlin
