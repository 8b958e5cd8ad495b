#pragma once

#include <string_view>

#include <QtCore/QString>

namespace tavlin::qt {

// The core's UTF-8 text as Qt's string, every byte of it: the one conversion, so that no caller
// stops at a NUL (fromUtf8 of a char pointer) or guesses the length its own way. Needs QtCore only.
inline QString qString(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

} // namespace tavlin::qt
