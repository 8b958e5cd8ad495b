#pragma once

#include <string_view>

#include <QString>

#include "platform/qt/QtText.h"
#include "platform/text/PeopleWords.h"

namespace tavlin::words {

// A word of the table as a widget shows it.
inline QString qt(std::string_view word) { return ::tavlin::qt::qString(word); }

} // namespace tavlin::words
