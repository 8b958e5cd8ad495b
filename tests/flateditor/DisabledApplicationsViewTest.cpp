#include <gtest/gtest.h>

#include <QListWidget>
#include <QTest>
#include <QToolButton>

#include "actionediting/ChoosersTestSupport.h"
#include "flateditor/DisabledApplicationsView.h"

namespace tavlin::flateditor {
namespace {

TEST_F(ChoosersTest, doubleClickChoosesAndTheDisabledListAppendsIt) {
    const auto one = entry("one", "Name=One\nExec=one\n");
    whenDialogShows([](ApplicationChooserDialog& dialog) {
        QListWidgetItem* item = dialog.list()->item(0);
        QTest::mouseClick(dialog.list()->viewport(), Qt::LeftButton, {}, dialog.list()->visualItemRect(item).center());
        QTest::mouseDClick(dialog.list()->viewport(), Qt::LeftButton, {}, dialog.list()->visualItemRect(item).center());
    });
    DisabledApplicationsView sheet({"/apps/b.desktop"}, {});
    sheet.show();
    QTest::mouseClick(sheet.addButton(), Qt::LeftButton);
    ASSERT_EQ(sheet.applicationList()->count(), 2);
    EXPECT_EQ(sheet.state().selectedPath, one.string());
    EXPECT_EQ(sheet.applicationList()->item(1)->text().toStdString(), "One\n" + one.string());
}

} // namespace
} // namespace tavlin::flateditor
