#pragma once

#include <memory>
#include <string>

#include "platform/desktop/Alerts.h"

class QMessageBox;

namespace tavlin::qt {

// The critical alert box: the message, the informative text and one "OK" button. Not shown.
std::unique_ptr<QMessageBox> makeAlertBox(const std::string& messageText, const std::string& informativeText);

// Makes showAlert post a task on MainQueue::shared() that runs the alert box modally, so the
// caller returns before the box appears, even on the main thread. Answers the previous presenter.
AlertPresenter installQtAlertPresenter();

} // namespace tavlin::qt
