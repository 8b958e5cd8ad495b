#include "app/SupportMail.h"

#include <QtCore/QUrl>

#include "app/DeviceInfo.h"
#include "platform/desktop/Workspace.h"
#include "platform/text/Utf8.h"

namespace tavlin {

// Set by the build (see CMakeLists.txt).
const std::string_view supportAddress = TAVLIN_SUPPORT_ADDRESS;
const std::string_view homePageURL = TAVLIN_HOMEPAGE_URL;

std::optional<std::string> percentEncodedForQuery(std::string_view text) {
    if (!utf8::isValid(text)) return std::nullopt;
    // Only the unreserved characters: a mail program splits the query at "&", reads "+" as a
    // space and ends the link at "#", and a device's name may hold any of them.
    constexpr std::string_view kept = "-._~";
    constexpr char hex[] = "0123456789ABCDEF";
    std::string result;
    result.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool alphanumeric = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9');
        if (alphanumeric || kept.find(c) != std::string_view::npos) {
            result += c;
        } else {
            result += '%';
            result += hex[byte >> 4];
            result += hex[byte & 0x0F];
        }
    }
    return result;
}

std::string supportMailURL(std::string_view address) {
    using Kind = DeviceInfo::InfoKind;
    const std::string body = "\n\n\n\n" + DeviceInfo::description({Kind::appVersion, Kind::osVersion, Kind::deviceModel});
    return "mailto:" + std::string(address) +
           "?subject=tavlin%20Support&body=" + percentEncodedForQuery(body).value_or(std::string());
}

void openSupportMail(std::string_view address, std::string_view homePage) {
    const std::string mail = supportMailURL(address);
    const bool valid = QUrl(QString::fromStdString(mail), QUrl::StrictMode).isValid();
    Workspace::shared().openURL(valid ? mail : std::string(homePage), nullptr);
}

} // namespace tavlin
