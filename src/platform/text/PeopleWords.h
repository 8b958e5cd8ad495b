#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

// The words a person reads for keys, programs and services, as this desktop names them. The
// model's modifier symbols and program names stay what the stored files, the texts patterns
// match and the diagnostic lines hold; whatever is drawn takes its words from here, so a word
// changes in this one place.
namespace tavlin::words {

// Modifier keys, as the desktop's key-sequence texts name them.
inline constexpr std::string_view superKey = "Super";
inline constexpr std::string_view controlKey = "Ctrl";
inline constexpr std::string_view altKey = "Alt";
inline constexpr std::string_view shiftKey = "Shift";

// "Super+Ctrl+Alt+Shift+K": the modifiers of a Carbon mask in the desktop's order, each joined
// by "+", then the key; only the modifiers when the key is empty.
std::string keyCombination(std::uint32_t carbonModifiers, std::string_view key);

// A key as a PC keyboard labels it, where that differs from the key-code name stored texts and
// patterns use ("Backspace" for the key those call "Delete"); nothing for a key named alike.
std::optional<std::string_view> pcKeyName(int virtualKeyCode);
// Whether a PC keyboard has the key: most have no F17 to F20, which stay offered but are no
// first choice of a search.
bool pcKeyboardHasKey(int virtualKeyCode);

// The name a person reads for the application whose desktop entry (or program) is at `path`,
// as the source the application installs knows it: nothing without a source, or when the
// source knows no name, and the caller keeps the text it had. Main thread only.
using ApplicationNameSource = std::function<std::optional<std::string>(const std::string& path)>;
void setApplicationNameSource(ApplicationNameSource source);
std::optional<std::string> applicationName(const std::string& path);
// Posted on the local notification centre when the source may name applications anew (the
// installed applications were read again): what shows their names is drawn again.
inline constexpr std::string_view applicationNamesDidChange = "local.tavlin.applicationNamesDidChange";
void applicationNamesChanged();

// What stands in here for another desktop's programs and services.
inline constexpr std::string_view openFileManager = "Open File Manager";
inline constexpr std::string_view runScript = "Run Script";
inline constexpr std::string_view chooseScript = "Choose Script";
inline constexpr std::string_view scriptsFolderNote = "Your scripts live in:";
inline constexpr std::string_view scriptsFolderMessage = "Your scripts live in ";
inline constexpr std::string_view scriptRunError = "Running error of the script at ";
inline constexpr std::string_view openWebBrowser = "Open Web Browser";
inline constexpr std::string_view noBrowserFound = "Web browser (none found)";
// Followed by nothing or the program's name, then by hideFromTaskBarEnd.
inline constexpr std::string_view hideFromTaskBarStart = "Hide";
inline constexpr std::string_view hideFromTaskBarEnd = "from the Task Bar";
// What the frontmost application is reported by: its desktop entry's path, its name, its id.
inline constexpr std::string_view frontmostAppPath = "Desktop Entry Path";
inline constexpr std::string_view frontmostAppName = "Application Name";
inline constexpr std::string_view frontmostAppId = "Desktop Entry ID";
// What the first-run row's alert says when it has no web browser to open.
inline constexpr std::string_view noBrowserToOpen = "No web browser was found on this system.";
// What an indicator height of 0 stands for.
inline constexpr std::string_view indicatorHeightOfThePanel = "Set 0 for the top panel's height";

// The input-monitoring sheet: what the program observes of the keyboard, and whether it does.
inline constexpr std::string_view inputMonitoring = "Input Monitoring";
inline constexpr std::string_view grantInputMonitoring = "Turn On Input Monitoring";
inline constexpr std::string_view inputMonitoringGranted = "Input Monitoring On";
inline constexpr std::string_view inputMonitoringParagraphs[] = {
    "If you unintentionally trigger tavlin actions when using a keyboard shortcut such as Ctrl+C, "
    "turning input monitoring on may fix the issue.",
    "Details:",
    "Without input monitoring, tavlin sees only its leader keys: a lone modifier key pressed and "
    "released. When you use Ctrl+C, tavlin has no idea that the letter C is being typed, so the "
    "tavlin action of the Ctrl key is triggered when you quickly press Ctrl+C.",
    "With input monitoring, tavlin listens to every key and mouse button through the X server's "
    "input extension (XInput 2), without taking or changing any input: it sees you hold down Ctrl, "
    "press C and release them, and knows that you don't want to trigger a tavlin action.",
};

} // namespace tavlin::words
