#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Diagnostics are single plain lines on standard output. Everything goes through one sink so
// that tests can capture exactly what the program printed.
namespace tavlin::diag {

using Sink = std::function<void(std::string_view line)>;

// What a line is about. Every category prints by default; TAVLIN_SILENCE names those to leave
// out, separated by commas ("keys,session" silences the trace of the key path), so that a
// chatty one can be quietened without losing the rest. The texts never change with it.
enum class Category : unsigned {
    general, // start-up, the instance, anything of its own
    keys,    // leader keys, hot keys and key events: the key path's trace
    session, // the input window, the decisions a session walks, the outcomes it posts
    actions, // opening, launching, scripts and keystrokes the actions run
    files,   // the configuration file, backups and the settings suites
    bus,     // messages from and to other processes
    editor,  // the two editor windows
};
inline constexpr const char* silenceVariable = "TAVLIN_SILENCE";
// The name TAVLIN_SILENCE knows the category by ("keys").
std::string_view categoryName(Category category);
// Leaves out the lines of the categories named (as TAVLIN_SILENCE names them; unknown names are
// ignored) and prints those of every other. Read from the environment on the first line.
void silence(std::string_view names);

// Prints one line (a line break is added), unless its category is silenced. An empty text prints
// an empty line.
void printLine(Category category, std::string_view line);
inline void printLine(std::string_view line) { printLine(Category::general, line); }

// For lines that other processes can provoke at will (an undecodable message, an unknown URL):
// like printLine, but of the lines of one `kind` only the first `burstLines` in each second are
// printed. The rest of that second are counted, and the next line of the kind printed after it
// is preceded by one line that says how many were left out.
inline constexpr int burstLines = 10;
void printLimited(Category category, std::string_view kind, std::string_view line);
inline void printLimited(std::string_view kind, std::string_view line) { printLimited(Category::general, kind, line); }
// Forgets the counts, and replaces the clock (seconds) that printLimited reads; an empty
// function restores the steady clock.
void resetLimits(std::function<double()> clock = {});

// Replaces the sink and answers the previous one. An empty sink restores standard output.
Sink setSink(Sink sink);

// Collects the printed lines while it lives, then puts the previous sink back.
class Capture {
public:
    Capture();
    ~Capture();
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;

    std::vector<std::string> lines() const;
    void clear();

private:
    struct State;
    std::shared_ptr<State> state_;
    Sink previous_;
};

} // namespace tavlin::diag
