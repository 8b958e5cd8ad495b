#include "platform/qt/QtAlertPresenter.h"

#include <deque>
#include <utility>

#include <QMessageBox>
#include <QPushButton>

#include "platform/base/MainQueue.h"
#include "platform/qt/PlainText.h"
#include "platform/qt/QtText.h"

namespace tavlin::qt {
namespace {} // namespace

std::unique_ptr<QMessageBox> makeAlertBox(const std::string& messageText, const std::string& informativeText) {
    auto box = std::make_unique<QMessageBox>();
    box->setIcon(QMessageBox::Critical);
    box->setText(qt::qString(messageText));
    box->setInformativeText(qt::qString(informativeText));
    // Alerts carry paths, URLs and names from files and messages.
    showPlainText(*box);
    // Our own text, not the standard button's, which follows the user's language. The alert
    // only informs: its one button acknowledges it, and Escape does the same.
    QPushButton* ok = box->addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box->setDefaultButton(ok);
    box->setEscapeButton(ok);
    return box;
}

AlertPresenter installQtAlertPresenter() {
    return setAlertPresenter([](const std::string& messageText, const std::string& informativeText) {
        MainQueue::shared().post([messageText, informativeText] {
            // One alert at a time, in the order they came: a box's own loop runs the tasks
            // posted meanwhile, and a second box run from there would open over the first, on
            // the same spot, and be read first.
            static std::deque<std::pair<std::string, std::string>> waiting;
            static bool showing = false;
            waiting.emplace_back(messageText, informativeText);
            if (showing) return;
            showing = true;
            while (!waiting.empty()) {
                const auto [message, informative] = std::move(waiting.front());
                waiting.pop_front();
                const auto box = makeAlertBox(message, informative);
                box->exec(); // the only answer is OK, so it is not looked at
            }
            showing = false;
        });
    });
}

} // namespace tavlin::qt
