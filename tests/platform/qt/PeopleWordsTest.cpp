#include <gtest/gtest.h>

#include <QtGui/QKeySequence>

#include "platform/keys/KeyboardEvents.h"
#include "platform/qt/PeopleWordsQt.h"
#include "support/QtTestApplication.h"

namespace tavlin {
namespace {

// Our key combinations read as the desktop's own key-sequence texts, but for the Super key,
// which Qt calls Meta.
TEST(PeopleWords, KeyCombinationsReadAsTheDesktopsKeySequences) {
    test::offscreenApplication();
    const std::pair<std::uint32_t, Qt::KeyboardModifiers> modifiers[] = {
        {carbon::command, Qt::MetaModifier},
        {carbon::control, Qt::ControlModifier},
        {carbon::option, Qt::AltModifier},
        {carbon::shift, Qt::ShiftModifier},
    };
    for (std::uint32_t mask = 0; mask < 16; ++mask) {
        std::uint32_t carbonMask = 0;
        Qt::KeyboardModifiers qtMask;
        for (std::size_t i = 0; i < 4; ++i) {
            if (!(mask & (1u << i))) continue;
            carbonMask |= modifiers[i].first;
            qtMask |= modifiers[i].second;
        }
        QString desktop = QKeySequence(QKeyCombination(qtMask, Qt::Key_K)).toString(QKeySequence::NativeText);
        desktop.replace(QStringLiteral("Meta"), words::qt(words::superKey));
        EXPECT_EQ(words::qt(words::keyCombination(carbonMask, "K")), desktop) << mask;
    }
    EXPECT_EQ(words::keyCombination(carbon::command, ""), "Super");
}

} // namespace
} // namespace tavlin
