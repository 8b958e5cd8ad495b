#include "flateditor/RowComposeSheet.h"

#include "platform/base/Diagnostics.h"

namespace tavlin::flateditor {
namespace {

RowComposeSheet::Presenter& presenter() {
    static RowComposeSheet::Presenter installed;
    return installed;
}

} // namespace

RowComposeSheet::Presenter RowComposeSheet::setPresenter(Presenter installed) {
    return std::exchange(presenter(), std::move(installed));
}

void RowComposeSheet::present(const ChangeKind& changeKind, RowSaved rowSaved) {
    if (presenter()) presenter()(changeKind, std::move(rowSaved));
    else diag::printLine(diag::Category::editor, "");
}

} // namespace tavlin::flateditor
