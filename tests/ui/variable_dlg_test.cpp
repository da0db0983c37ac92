// The variable setup dialog's logic against a fake window: the exchange, the empty tag, Cancel, Help.

#include "ui/variable_dlg.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "logic_fakes.h"
#include "res/resource.h"
#include "support/test_support.h"

namespace kelvane {
namespace {

class VariableDlgTest : public ::testing::Test, protected test::FakeServices {
 protected:
  void SetUp() override {
    dialog.tag = "OLD";
    dialog.valueText = "1\r\n2";
    dialog.Attach(&window);
    EXPECT_TRUE(dialog.OnInitDialog());
    window.log.clear();
  }
  void TearDown() override { dialog.Attach(nullptr); }

  test::FakeDialogWindow window;
  CVariableDlg dialog{services(), nullptr};
};

TEST_F(VariableDlgTest, opening_shows_both_texts) {
  EXPECT_EQ(window.texts[IDC_VARIABLE_TAG], "OLD");
  EXPECT_EQ(window.texts[IDC_VARIABLE_VALUES], "1\r\n2");
  EXPECT_EQ(window.anchors.size(), size_t{4});
}

TEST_F(VariableDlgTest, ok_with_an_empty_tag_is_refused_with_the_focus_on_the_tag) {
  window.texts[IDC_VARIABLE_TAG].clear();
  window.texts[IDC_VARIABLE_VALUES] = "a\r\nb";
  dialog.OnCommand(IDOK);
  EXPECT_EQ(messages.texts(), std::vector<std::string>{"Please enter a variable name"});
  EXPECT_EQ(messages.shown[0].icon, MessageIcon::Exclamation);
  EXPECT_EQ(window.focus, std::vector<int>{IDC_VARIABLE_TAG});
  EXPECT_FALSE(window.ended.has_value());
  // The values come first, then the tag.
  EXPECT_EQ(window.log, (std::vector<std::string>{"get 1010", "get 1009"}));
  EXPECT_EQ(dialog.valueText, "a\r\nb");

  window.texts[IDC_VARIABLE_TAG] = " ";
  dialog.OnCommand(IDOK);
  EXPECT_EQ(window.ended, IDOK);
  EXPECT_EQ(dialog.tag, " ");
  EXPECT_EQ(messages.shown.size(), size_t{1});
}

TEST_F(VariableDlgTest, cancel_and_the_close_box_end_at_once_without_an_exchange) {
  for (const bool closeBox : {false, true}) {
    window.ended.reset();
    window.texts[IDC_VARIABLE_TAG].clear();
    if (closeBox) {
      dialog.OnClose();
    } else {
      dialog.OnCommand(IDCANCEL);
    }
    EXPECT_EQ(window.ended, IDCANCEL);
    EXPECT_TRUE(window.log.empty());
    EXPECT_EQ(dialog.tag, "OLD");
    EXPECT_TRUE(messages.shown.empty());
  }
}

TEST_F(VariableDlgTest, help_opens_the_variable_setup_topic) {
  dialog.OnCommand(ID_HELP);
  EXPECT_EQ(help.contexts, std::vector<unsigned>{0x20081});
  EXPECT_FALSE(window.ended.has_value());
}

}  // namespace
}  // namespace kelvane
