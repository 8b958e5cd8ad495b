#include "platform/base/Result.h"

#include "platform/files/Files.h"
#include "platform/json/Decoding.h"

namespace tavlin {

std::string localizedDescription(const std::exception& error) {
    if (const auto* e = dynamic_cast<const DecodingError*>(&error)) return e->localizedDescription();
    if (const auto* e = dynamic_cast<const EncodingError*>(&error)) return e->localizedDescription();
    if (const auto* e = dynamic_cast<const FileError*>(&error)) return e->localizedDescription();
    return error.what();
}

std::string localizedDescription(const std::exception_ptr& error) {
    if (!error) return {};
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return localizedDescription(e);
    } catch (...) {
        return "An unknown error occurred.";
    }
}

} // namespace tavlin
