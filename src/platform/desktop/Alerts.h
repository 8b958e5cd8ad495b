#pragma once

#include <functional>
#include <string>

namespace tavlin {

// A critical alert with a message, an informative text and one "OK" button. The desktop
// layer installs a presenter that shows it from the main queue; until then (and in tests that
// record alerts) the presenter decides what happens.
using AlertPresenter = std::function<void(const std::string& messageText, const std::string& informativeText)>;

void showAlert(const std::string& messageText, const std::string& informativeText);
// Replaces the presenter and answers the previous one. An empty presenter prints the alert as a
// diagnostic line.
AlertPresenter setAlertPresenter(AlertPresenter presenter);

} // namespace tavlin
