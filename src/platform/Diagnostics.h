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

// Prints one line (a line break is added). An empty text prints an empty line.
void printLine(std::string_view line);

// For lines that other processes can provoke at will (an undecodable message, an unknown URL):
// like printLine, but of the lines of one `kind` only the first `burstLines` in each second are
// printed. The rest of that second are counted, and the next line of the kind printed after it
// is preceded by one line that says how many were left out.
inline constexpr int burstLines = 10;
void printLimited(std::string_view kind, std::string_view line);
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
