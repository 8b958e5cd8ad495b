#include "platform/desktop/Alerts.h"

#include <mutex>

#include "platform/base/Diagnostics.h"

namespace tavlin {
namespace {

std::mutex& presenterMutex() {
    static std::mutex m;
    return m;
}

AlertPresenter& presenter() {
    static AlertPresenter p;
    return p;
}

} // namespace

void showAlert(const std::string& messageText, const std::string& informativeText) {
    AlertPresenter current;
    {
        std::lock_guard lock(presenterMutex());
        current = presenter();
    }
    if (current) current(messageText, informativeText);
    else diag::printLine("Alert: " + messageText + ": " + informativeText);
}

AlertPresenter setAlertPresenter(AlertPresenter replacement) {
    std::lock_guard lock(presenterMutex());
    AlertPresenter previous = std::move(presenter());
    presenter() = std::move(replacement);
    return previous;
}

} // namespace tavlin
