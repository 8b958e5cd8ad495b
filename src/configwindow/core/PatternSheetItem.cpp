#include "configwindow/core/PatternSheetItem.h"

#include "platform/base/Diagnostics.h"

namespace tavlin {

using PK = Pattern::ConfigurationKind;

const PatternParamsByKind& defaultPatternParams() {
    static const PatternParamsByKind defaults = {
        {PK::key, {PatternParams::key{{0}}}},
        {PK::message, {PatternParams::message{}}},
        {PK::alwaysMatch, {PatternParams::alwaysMatch{}}},
    };
    return defaults;
}

PatternParamsByKind patternParams(const Pattern& pattern) {
    auto params = defaultPatternParams();
    if (const auto* key = pattern.kind.get<Pattern::Kind::key>()) params[PK::key] = {PatternParams::key{key->allowedKeyCodes}};
    else if (const auto* message = pattern.kind.get<Pattern::Kind::message>())
        params[PK::message] = {PatternParams::message{message->regex}};
    return params;
}

std::optional<Pattern> makePattern(PK kind, const PatternParamsByKind& params) {
    if (kind == PK::alwaysMatch) return Pattern(Pattern::Kind::alwaysMatch{});
    const auto found = params.find(kind);
    if (found != params.end()) {
        if (kind == PK::key) {
            if (const auto* key = std::get_if<PatternParams::key>(&found->second.value))
                return Pattern(Pattern::Kind::key{key->allowedKeyCodes});
        } else if (const auto* message = std::get_if<PatternParams::message>(&found->second.value)) {
            return Pattern(Pattern::Kind::message{message->regex});
        }
    }
    diag::printLine(diag::Category::editor, "");
    return std::nullopt;
}

std::string_view patternKindTitle(PK kind) {
    switch (kind) {
    case PK::key: return "Key";
    case PK::message: return "Message";
    case PK::alwaysMatch: return "Always Match";
    }
    return {};
}

std::optional<PatternSheetItem> PatternSheetItem::make(ChangeKind changeKind, DecisionPtr container,
                                                       const ChangeWrapper& changeWrapper,
                                                       const std::function<bool(const Decision&)>& stillInTree) {
    PatternSheetItem item;
    item.changeKind = changeKind;
    item.allPatternKinds = {PK::key, PK::message, PK::alwaysMatch};
    const auto chanceAt = [&container](int index) -> ChancePtr {
        if (index < 0 || index >= static_cast<int>(container->chances.size())) return nullptr;
        return container->chances[static_cast<std::size_t>(index)];
    };
    if (std::holds_alternative<NewChance>(changeKind)) {
        item.paramsByKind = defaultPatternParams();
    } else {
        const int index = std::holds_alternative<EditChance>(changeKind) ? std::get<EditChance>(changeKind).replaceIndex
                                                                         : std::get<EditPattern>(changeKind).chanceIndex;
        const ChancePtr chance = chanceAt(index);
        if (!chance) return std::nullopt;
        item.initialConfigurationKind = configurationKind(chance->pattern.kind);
        item.paramsByKind = patternParams(chance->pattern);
    }
    item.newPatternHandler = [changeKind, container, changeWrapper, stillInTree](const Pattern& pattern) {
        // The index was taken when the sheet opened: an edit applies only while it still names the
        // same chance (pattern) in the tree shown, else it would change another chance or be lost.
        const bool inTree = !stillInTree || stillInTree(*container);
        const auto size = static_cast<int>(container->chances.size());
        if (const auto* added = std::get_if<NewChance>(&changeKind)) {
            const int i = added->insertIndex;
            if (!inTree || i < 0 || i > size) {
                diag::printLine(diag::Category::editor, "");
                return;
            }
            changeWrapper(
                [&] { container->chances.insert(container->chances.begin() + i, Chance::make(pattern, Decision::make())); });
            return;
        }
        int index = 0;
        bool same = false;
        if (const auto* edit = std::get_if<EditChance>(&changeKind)) {
            index = edit->replaceIndex;
            same = index >= 0 && index < size && edit->oldChance &&
                   container->chances[static_cast<std::size_t>(index)]->id == edit->oldChance->id;
        } else {
            const auto& patternEdit = std::get<EditPattern>(changeKind);
            index = patternEdit.chanceIndex;
            same = index >= 0 && index < size &&
                   container->chances[static_cast<std::size_t>(index)]->pattern.id == patternEdit.oldPattern.id;
        }
        if (!inTree || !same) {
            diag::printLine(diag::Category::editor, "");
            return;
        }
        changeWrapper([&] { container->chances[static_cast<std::size_t>(index)]->pattern = pattern; });
    };
    return item;
}

} // namespace tavlin
