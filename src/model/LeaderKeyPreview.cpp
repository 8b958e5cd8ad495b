#include "model/LeaderKeyPreview.h"

#include <limits>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/files/Files.h"

namespace tavlin {
namespace {

// How much of the file a preview reads: the hot keys of any real file, while a file whose hot
// keys come after a large tree costs no more than this.
constexpr std::size_t previewBytes = 1 << 20;

// Follows the parse only as deep as the hot keys go and stops at the end of their array (the
// parser ends when a callback answers false, without reading further).
class HotKeysReader final : public nlohmann::json_sax<nlohmann::json> {
public:
    bool complete = false;
    bool malformed = false;
    std::vector<LeaderKeyCombination> combinations;

    bool null() override { return value(std::nullopt); }
    bool boolean(bool) override { return value(std::nullopt); }
    bool number_integer(number_integer_t number) override {
        return value(number < 0 ? std::nullopt : std::optional<std::uint64_t>(static_cast<std::uint64_t>(number)));
    }
    bool number_unsigned(number_unsigned_t number) override { return value(number); }
    bool number_float(number_float_t, const string_t&) override { return value(std::nullopt); }
    bool string(string_t&) override { return value(std::nullopt); }
    bool binary(binary_t&) override { return value(std::nullopt); }
    bool start_object(std::size_t) override { return open(false); }
    bool start_array(std::size_t) override { return open(true); }
    bool key(string_t& name) override {
        frames_.back().key = name;
        return true;
    }
    bool end_object() override { return close(); }
    bool end_array() override { return close(); }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

private:
    struct Frame {
        bool isArray = false;
        std::string key; // the member being read, in an object
    };

    // The frames below the root object are its "hotKeys" array, an element, and a combination's
    // "combo" and "info" objects (the older format keeps the codes in the element itself).
    bool atHotKeysMember() const { return frames_.size() == 1 && !frames_[0].isArray && frames_[0].key == "hotKeys"; }
    bool inHotKeys() const { return frames_.size() >= 2 && !frames_[0].isArray && frames_[0].key == "hotKeys"; }
    bool fail() {
        malformed = true;
        return false;
    }

    bool open(bool isArray) {
        if (atHotKeysMember() && !isArray) return fail();
        if (inHotKeys() && frames_.size() == 2) {
            if (isArray) return fail(); // an element that is no object
            keyCode_ = modifiers_ = std::nullopt;
        }
        frames_.push_back({isArray, {}});
        return true;
    }
    bool close() {
        frames_.pop_back();
        if (frames_.size() == 2 && inHotKeys() && keyCode_ && modifiers_) combinations.emplace_back(*keyCode_, *modifiers_);
        if (atHotKeysMember()) {
            complete = true;
            return false;
        }
        return true;
    }
    bool value(std::optional<std::uint64_t> number) {
        if (atHotKeysMember()) return fail();
        if (!inHotKeys()) return true;
        if (frames_.size() == 2) return fail(); // an element that is no object
        const bool element = frames_.size() == 3;
        const bool comboInfo = frames_.size() == 5 && frames_[2].key == "combo" && frames_[3].key == "info";
        if ((!element && !comboInfo) || frames_.back().isArray) return true;
        const std::string& name = frames_.back().key;
        if (name != "keyCode" && name != "modifiersCode") return true;
        if (!number || *number > std::numeric_limits<std::uint32_t>::max()) return fail();
        (name == "keyCode" ? keyCode_ : modifiers_) = static_cast<std::uint32_t>(*number);
        return true;
    }

    std::vector<Frame> frames_;
    std::optional<std::uint32_t> keyCode_, modifiers_;
};

} // namespace

std::optional<std::vector<LeaderKeyCombination>> previewLeaderKeyCombinations(std::string_view text) {
    HotKeysReader reader;
    nlohmann::json::sax_parse(text.begin(), text.end(), &reader, nlohmann::json::input_format_t::json, false);
    if (!reader.complete || reader.malformed) return std::nullopt;
    return std::move(reader.combinations);
}

std::optional<std::vector<LeaderKeyCombination>> previewLeaderKeyCombinationsOfFile(const std::filesystem::path& file) {
    try {
        return previewLeaderKeyCombinations(files::readBeginning(file, previewBytes));
    } catch (const FileError&) {
        return std::nullopt;
    }
}

} // namespace tavlin
