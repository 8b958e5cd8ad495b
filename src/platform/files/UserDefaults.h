#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/files/Files.h"

namespace tavlin {

// One stored preference value. The kinds stay apart: a Bool is not a number, an integer is
// not a double, data is not text.
class DefaultsValue {
public:
    using Data = std::vector<std::uint8_t>;
    using Array = std::vector<DefaultsValue>;
    using Dictionary = std::map<std::string, DefaultsValue>;
    using Storage = std::variant<bool, std::int64_t, double, std::string, Data, Array, Dictionary>;

    DefaultsValue(bool value) : storage_(value) {}
    DefaultsValue(int value) : storage_(std::int64_t{value}) {}
    DefaultsValue(std::int64_t value) : storage_(value) {}
    DefaultsValue(double value) : storage_(value) {}
    DefaultsValue(std::string value) : storage_(std::move(value)) {}
    DefaultsValue(const char* value) : storage_(std::string(value)) {}
    DefaultsValue(Data value) : storage_(std::move(value)) {}
    DefaultsValue(Array value) : storage_(std::move(value)) {}
    DefaultsValue(Dictionary value) : storage_(std::move(value)) {}

    const Storage& storage() const { return storage_; }
    template <typename T>
    const T* get() const {
        return std::get_if<T>(&storage_);
    }

    friend bool operator==(const DefaultsValue&, const DefaultsValue&) = default;

private:
    Storage storage_;
};

// A user-defaults suite: a named store of preferences kept in one JSON file under
// $XDG_CONFIG_HOME/local.tavlin/<suite name>.json. Every write replaces the file atomically;
// every change is announced to the suite's observers in this process, synchronously, after the
// value is stored. Another program may edit the file meanwhile: each write first compares the
// file's identity with the version read or written here (one stat) and reads it again when it
// differs, announcing it when a value changed, so no write loses such an edit. Reads never look
// at the file (they sit on the key-press path, and must not run observers in their caller's
// midst); the application has refreshSharedSuites() called on a turn of its own when the
// folder changes. One object per suite name and process.
class UserDefaults {
public:
    using Observer = std::function<void()>;
    using ObserverToken = std::uint64_t;

    // The suite of this name, made on first use. Keys may hold any text, "/" and ":" included.
    static std::shared_ptr<UserDefaults> suite(const std::string& name);
    // The standard suite, named after the bundle identifier.
    static std::shared_ptr<UserDefaults> standard();
    // Forgets every suite object, so that the next use reads the files again (tests that change
    // XDG_CONFIG_HOME call it).
    static void resetSharedSuites();
    // Has every suite made so far take in what another program changed in its file (see
    // refresh). For a turn of the main queue of its own, never from inside a read or a change.
    static void refreshSharedSuites();
    // The folder of the suites' files, when a configuration folder is known.
    static std::optional<std::filesystem::path> folderPath();

    const std::string& name() const { return name_; }
    std::filesystem::path filePath() const;

    std::optional<DefaultsValue> object(const std::string& key) const;
    // Typed reads: nothing when the key is absent or holds another kind. A double read accepts
    // an integer.
    std::optional<bool> boolean(const std::string& key) const;
    std::optional<std::int64_t> integer(const std::string& key) const;
    std::optional<double> doubleValue(const std::string& key) const;
    std::optional<std::string> string(const std::string& key) const;
    std::optional<DefaultsValue::Data> data(const std::string& key) const;
    std::optional<DefaultsValue::Array> array(const std::string& key) const;
    std::optional<DefaultsValue::Dictionary> dictionary(const std::string& key) const;
    std::map<std::string, DefaultsValue> dictionaryRepresentation() const;
    // Whether the key holds a value, readable or not: a value in the file that cannot be read
    // is still the user's, and nothing default may be stored over it.
    bool contains(const std::string& key) const;

    // Stores the value and announces the change. A failed write of the file is reported by the
    // returned text (nothing on success); the value stays in memory either way.
    // Replacing or removing a value that could not be read first copies the file aside
    // ("<file>.corrupt-<timestamp>"); when that fails, nothing is changed and the failure is
    // answered.
    std::optional<std::string> set(const std::string& key, DefaultsValue value);
    // Stores several values with one write of the file and one announcement.
    std::optional<std::string> set(std::map<std::string, DefaultsValue> values);
    // The same, but the values are kept only when the file takes them: after a failed write the
    // suite is as it was, in memory too, nothing is announced, and the failure is answered.
    std::optional<std::string> setIfWritten(std::map<std::string, DefaultsValue> values);
    std::optional<std::string> remove(const std::string& key);

    // Reads the file again when another program changed it since it was read or written here,
    // and announces it when a value changed; a file that no longer reads is set aside and the
    // values in use are kept.
    void refresh() const;

    ObserverToken addObserver(Observer observer);
    void removeObserver(ObserverToken token);

    explicit UserDefaults(std::string name); // use suite()

    // How long a file that does not read must stay unchanged before it counts as damaged: another
    // program's in-place write (truncate, then write) leaves a part of the file for a moment.
    // Test seam: while one lives, that time is `time`.
    class SettleTime {
    public:
        explicit SettleTime(std::chrono::milliseconds time);
        ~SettleTime();
        SettleTime(const SettleTime&) = delete;
        SettleTime& operator=(const SettleTime&) = delete;

    private:
        std::chrono::milliseconds previous_;
    };

private:
    void load();
    // Reads the file into the values; what cannot be read is kept aside and the values held stay.
    void readFile(bool firstRead) const;
    void setAsideCorruptFile(const std::string& problem, bool firstRead) const;
    // Whether the file changes before it has stayed as it was read for the settle time.
    bool changesBeforeSettling(const files::FileIdentity& read) const;
    // Takes in the file when another program changed it; answers whether a value changed.
    bool takeInChangesOfOthers() const;
    void announce() const;
    // Before an unreadable value is replaced: answers why it cannot be, or nothing.
    std::optional<std::string> keepUnreadableValueAside(const std::string& key);
    std::optional<std::string> persistAndAnnounce();
    // Writes the values to the file, under the lock; answers why it could not.
    std::optional<std::string> persist();

    std::string name_;
    std::filesystem::path path_; // empty when no configuration folder is known
    // Mutable: the suite mirrors its file, and a refresh takes in what another program wrote.
    // Set when the file exists but could not be read or moved aside: writing would destroy it.
    mutable std::optional<std::string> unsavable_;
    // The version of the file the values were read from or last written as; none without a file.
    mutable std::optional<files::FileIdentity> fileIdentity_;
    mutable std::recursive_mutex mutex_;
    mutable std::map<std::string, DefaultsValue> values_;
    // Values in the file that could not be read, kept as they were and written back unchanged.
    // Key to the value's compact JSON text, or to its text in the file when it has no JSON text
    // of ours (a number beyond the range of a double).
    mutable std::map<std::string, std::string> unreadable_;
    std::map<ObserverToken, Observer> observers_;
    ObserverToken nextToken_ = 1;
};

} // namespace tavlin
