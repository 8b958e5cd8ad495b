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
