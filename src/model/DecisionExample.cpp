#include "model/Decision.h"

namespace tavlin {
namespace {

ChancePtr keyChance(int keyCode, std::vector<Action> actions, std::vector<ChancePtr> chances = {}) {
    return Chance::make(Pattern(Pattern::Kind::key{{keyCode}}), Decision::make(std::move(actions), std::move(chances)));
}

} // namespace

DecisionPtr Decision::example() {
    using K = Action::Kind;
    return make({}, {
                        keyChance(3, {Action(K::openFinder{})}),
                        keyChance(1, {Action(K::openApp{"/Applications/Safari.app", true, std::nullopt, std::nullopt})}),
                        keyChance(45, {Action(K::notification{"This is a notification"})}),
                        keyChance(37, {Action(K::toggleConfigurationWindow{})}),
                        keyChance(13, {Action(K::notification{"Apple(A)/Google(G)"})},
                                  {
                                      keyChance(0, {Action(K::openURL{"https://www.apple.com", std::nullopt})}),
                                      keyChance(5, {Action(K::openURL{"https://www.google.com", std::nullopt})}),
                                  }),
                    });
}

} // namespace tavlin
