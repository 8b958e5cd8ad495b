#include "configwindow/core/ActionParamFields.h"

namespace tavlin {

std::optional<std::string> applicationPathOf(const ActionParamsByKind& params, ActionConfigurationKind kind) {
    switch (kind) {
    case ActionConfigurationKind::openURL: return paramField(params, kind, &actionparams::openURL::applicationPath);
    case ActionConfigurationKind::openFile: return paramField(params, kind, &actionparams::openFile::applicationPath);
    case ActionConfigurationKind::openFolder: return paramField(params, kind, &actionparams::openFolder::applicationPath);
    default: return std::nullopt;
    }
}

void setApplicationPath(ActionParamsByKind& params, ActionConfigurationKind kind, std::string path) {
    switch (kind) {
    case ActionConfigurationKind::openURL:
        setParamField(params, kind, &actionparams::openURL::applicationPath, std::optional<std::string>(std::move(path)));
        break;
    case ActionConfigurationKind::openFile:
        setParamField(params, kind, &actionparams::openFile::applicationPath, std::optional<std::string>(std::move(path)));
        break;
    case ActionConfigurationKind::openFolder:
        setParamField(params, kind, &actionparams::openFolder::applicationPath, std::optional<std::string>(std::move(path)));
        break;
    default: break;
    }
}

} // namespace tavlin
