#include "gui/widgets/radio_group.h"

#include <gtest/gtest.h>

#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

namespace tandrel {
namespace {

int CheckedButtons(const TRadioGroup& group) {
    int checked = 0;
    for (int i = 0; i < group.items().size(); ++i) checked += group.button(i)->isChecked() ? 1 : 0;
    return checked;
}

TEST(RadioGroupTest, IndexFollowsTheCodeAndTheUser) {
    TRadioGroup group("Folder colors");
    QSignalSpy changes(&group, &TRadioGroup::itemIndexChanged);
    group.setItems({"Default colors", "Velmora colors", "Third"});
    EXPECT_EQ(group.items(), (QStringList{"Default colors", "Velmora colors", "Third"}));
    EXPECT_EQ(group.itemIndex(), -1);
    EXPECT_EQ(CheckedButtons(group), 0);
    EXPECT_EQ(changes.count(), 0);

    group.setItemIndex(1);
    EXPECT_TRUE(group.button(1)->isChecked());
    EXPECT_EQ(CheckedButtons(group), 1);
    ASSERT_EQ(changes.count(), 1);
    EXPECT_EQ(changes.takeFirst().at(0).toInt(), 1);
    group.setItemIndex(1);
    EXPECT_EQ(changes.count(), 0);

    group.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&group));
    // A radio button takes clicks on its indicator and text only.
    QRadioButton* third = group.button(2);
    QTest::mouseClick(third, Qt::LeftButton, {}, QPoint(6, third->height() / 2));
    EXPECT_EQ(group.itemIndex(), 2);
    ASSERT_EQ(changes.count(), 1);
    EXPECT_EQ(changes.takeFirst().at(0).toInt(), 2);

    for (int outside : {-1, 3, 42}) {
        group.setItemIndex(2);
        changes.clear();
        group.setItemIndex(outside);
        EXPECT_EQ(group.itemIndex(), -1) << outside;
        EXPECT_EQ(CheckedButtons(group), 0) << outside;
        ASSERT_EQ(changes.count(), 1) << outside;
        EXPECT_EQ(changes.takeFirst().at(0).toInt(), -1);
    }
}

TEST(RadioGroupTest, NewItemsKeepAnIndexStillInRange) {
    TRadioGroup group;
    group.setItems({"a", "b", "c"});
    group.setItemIndex(1);
    QSignalSpy changes(&group, &TRadioGroup::itemIndexChanged);
    group.setItems({"x", "y"});
    EXPECT_EQ(group.itemIndex(), 1);
    EXPECT_TRUE(group.button(1)->isChecked());
    EXPECT_EQ(group.button(2), nullptr);
    EXPECT_EQ(changes.count(), 0);

    group.setItems({"only"});
    EXPECT_EQ(group.itemIndex(), -1);
    EXPECT_EQ(CheckedButtons(group), 0);
    ASSERT_EQ(changes.count(), 1);
    EXPECT_EQ(changes.takeFirst().at(0).toInt(), -1);
}

}  // namespace
}  // namespace tandrel
