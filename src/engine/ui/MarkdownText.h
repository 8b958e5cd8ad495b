#pragma once

#include <string>

#include <QString>

namespace tavlin {

// A description as HTML for a rich-text label. Text holding "</" is read as HTML, anything else
// (or HTML that leaves nothing) as GitHub-flavoured markdown; text neither reading gives anything
// for comes back escaped, as it was typed. Blocks carry no vertical margins and no font of their
// own, so one line of text stays one line tall in the label's font.
QString markdownHtml(const std::string& text);

} // namespace tavlin
