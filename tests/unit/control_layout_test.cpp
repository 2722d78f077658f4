// The window's control table: twips at other DPIs, and the tab order's skipping and wrapping.
#include <gtest/gtest.h>

#include <set>

#include "window/control_layout.h"
#include "window/controls.h"

namespace zunor::layout {
namespace {

TEST(ControlLayout, TwipsAndFontsFollowTheDpi) {
    EXPECT_EQ(TwipsToPixels(kClientWidthTwips, 96), 550);
    EXPECT_EQ(TwipsToPixels(kClientHeightTwips, 96), 439);
    EXPECT_EQ(TwipsToPixels(kClientWidthTwips, 144), 825);
    EXPECT_EQ(TwipsToPixels(5745, 120), 479); // 478.75 rounds up
    EXPECT_EQ(TwipsToPixels(15, 96), 1);
    EXPECT_EQ(FontHeight(975, 96), -13);
    EXPECT_EQ(FontHeight(1425, 96), -19);
    EXPECT_EQ(FontHeight(975, 144), -20);
}

TEST(ControlLayout, TableIsInTabOrderWithUniqueIds) {
    auto table = ControlTable();
    ASSERT_EQ(table.size(), 15u);
    EXPECT_EQ(table.front().id, IDC_LABEL1);
    EXPECT_EQ(table[7].id, IDC_FILE4);
    EXPECT_EQ(table.back().id, IDC_CHECK4);
    std::set<int> ids;
    for (const auto& entry : table)
        EXPECT_TRUE(ids.insert(entry.id).second) << entry.id;
    EXPECT_EQ(FindControl(IDC_LABEL3)->parentId, IDC_PICTURE1);
    EXPECT_EQ(FindControl(12345), nullptr);
}

TEST(ControlLayout, TabSkipsWhatCannotTakeFocusAndWraps) {
    auto all = [](int) { return true; };
    EXPECT_EQ(NextTabStop(IDC_COMMAND4, false, all), IDC_FILE4);  // Label4 never takes focus
    EXPECT_EQ(NextTabStop(IDC_CHECK3, false, all), IDC_CHECK4);   // nor Picture1 and Label3
    EXPECT_EQ(NextTabStop(IDC_CHECK4, false, all), IDC_COMMAND2); // wraps past Label1
    EXPECT_EQ(NextTabStop(IDC_COMMAND2, true, all), IDC_CHECK4);
    EXPECT_EQ(NextTabStop(IDC_TEXT2, true, all), IDC_COMMAND3);

    auto gated = [](int id) { return id != IDC_COMMAND3 && id != IDC_TEXT1 && id != IDC_CHECK3; };
    EXPECT_EQ(NextTabStop(IDC_COMMAND2, false, gated), IDC_TEXT2);
    EXPECT_EQ(NextTabStop(IDC_CHECK2, false, gated), IDC_CHECK4);

    // Unknown start: from the beginning, or from the end going back.
    EXPECT_EQ(NextTabStop(0, false, all), IDC_COMMAND2);
    EXPECT_EQ(NextTabStop(0, true, all), IDC_CHECK4);
    // Only the current control can: it keeps the focus; none can: 0.
    EXPECT_EQ(NextTabStop(IDC_TEXT2, false, [](int id) { return id == IDC_TEXT2; }), IDC_TEXT2);
    EXPECT_EQ(NextTabStop(IDC_TEXT2, false, [](int) { return false; }), 0);
}

} // namespace
} // namespace zunor::layout
