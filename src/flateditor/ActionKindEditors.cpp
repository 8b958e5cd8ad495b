#include "flateditor/ActionKindEditors.h"

namespace tavlin::flateditor {

QWidget* makeParamsEditor(const ParamsEditorContext&) { return nullptr; }

} // namespace tavlin::flateditor
