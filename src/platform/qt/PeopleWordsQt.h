#pragma once

#include <string_view>

#include <QString>

#include "platform/PeopleWords.h"

namespace tavlin::words {

// A word of the table as a widget shows it.
inline QString qt(std::string_view word) { return QString::fromUtf8(word.data(), static_cast<qsizetype>(word.size())); }

} // namespace tavlin::words
