#include "platform/qt/QtAlertPresenter.h"

#include <QMessageBox>
#include <QPushButton>

#include "platform/MainQueue.h"
#include "platform/qt/PlainText.h"

namespace tavlin::qt {
namespace {

QString qText(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

} // namespace

std::unique_ptr<QMessageBox> makeAlertBox(const std::string& messageText, const std::string& informativeText) {
    auto box = std::make_unique<QMessageBox>();
    box->setIcon(QMessageBox::Critical);
    box->setText(qText(messageText));
    box->setInformativeText(qText(informativeText));
    // Alerts carry paths, URLs and names from files and messages.
    showPlainText(*box);
    // Our own text, not the standard button's, which follows the user's language.
    QPushButton* cancel = box->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    return box;
}

AlertPresenter installQtAlertPresenter() {
    return setAlertPresenter([](const std::string& messageText, const std::string& informativeText) {
        MainQueue::shared().post([messageText, informativeText] {
            const auto box = makeAlertBox(messageText, informativeText);
            box->exec(); // the only answer is Cancel, so it is not looked at
        });
    });
}

} // namespace tavlin::qt
