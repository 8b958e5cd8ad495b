#pragma once

#include <optional>
#include <string>

#include "actionediting/core/ActionKinds.h"
#include "actionediting/core/PathChooserSettings.h"
#include "platform/files/FileUrl.h"

namespace tavlin {

// Lets the user choose a path of the kind: an application from the list of installed ones, any
// other kind in an open panel, opening in `folderURL` when that is a file URL. The choice is
// bookmarked as the window's rules say, so the action can reach it later. Nothing when cancelled
// or nothing was chosen.
std::optional<std::string> choosePath(PathChooserKind kind, const std::optional<std::string>& folderURL,
                                      const ActionEditingRules& rules);

// The open panel alone, as the list's "Other…" runs it: the chosen URL, not yet bookmarked.
std::optional<FileUrl> runPathPanel(PathChooserKind kind, const std::optional<std::string>& folderURL,
                                    const ActionEditingRules& rules);

} // namespace tavlin
