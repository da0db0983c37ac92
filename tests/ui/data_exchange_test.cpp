// The data exchange against a fake window: bytes kept, line breaks, integers, check boxes, failures.

#include "ui/data_exchange.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "logic_fakes.h"
#include "support/test_support.h"

namespace kelvane {
namespace {

using test::FakeDialogHost;
using test::FakeDialogWindow;
using test::ShownByQt;
using test::ShownByWin32;

// A dialog whose exchange is the test's own.
class ProbeDialog : public CDialog {
 public:
  ProbeDialog(DialogHost& host, MessageBox& messages) : CDialog(100, host, messages) {}
  std::function<void(DataExchange&)> exchange;

 protected:
  void DoDataExchange(DataExchange& dx) override { exchange(dx); }
};

class DataExchangeTest : public ::testing::Test {
 protected:
  void SetUp() override { dialog.Attach(&window); }
  void TearDown() override { dialog.Attach(nullptr); }
  // Shows member in field 7, lets edit change the field, then saves it back.
  std::string RoundTrip(std::string member, const std::function<void(std::string&)>& edit) {
    dialog.exchange = [&member](DataExchange& dx) { dx.Text(7, member); };
    EXPECT_TRUE(dialog.UpdateData(false));
    edit(window.texts[7]);
    EXPECT_TRUE(dialog.UpdateData(true));
    return member;
  }

  FakeDialogHost host;
  test::RecordingMessageBox messages;
  FakeDialogWindow window;
  ProbeDialog dialog{host, messages};
};

TEST_F(DataExchangeTest, a_field_left_alone_hands_back_the_members_bytes) {
  struct Case {
    const char* name;
    std::string bytes;
    std::function<std::string(std::string_view)> shows;
  };
  const std::vector<Case> cases = {
      {"CR LF in a Qt box", "Ada\r\nBrian\r\n", ShownByQt},
      {"lone CR in a Qt box", "one\r", ShownByQt},
      {"not UTF-8 in a Qt box", "caf\xE9\r\n", ShownByQt},
      {"lone LF in a Windows edit", "a\nb\r\nc", ShownByWin32},
      {"plain text", "plain", nullptr},
  };
  for (const Case& c : cases) {
    window.shows = c.shows;
    EXPECT_EQ(RoundTrip(c.bytes, [](std::string&) {}), c.bytes) << c.name;
  }
}

TEST_F(DataExchangeTest, an_edited_text_keeps_crlf_breaks_if_it_had_them) {
  struct Case {
    const char* name;
    std::string bytes;
    std::function<std::string(std::string_view)> shows;
    std::string typed;
    std::string saved;
  };
  const std::vector<Case> cases = {
      {"Qt box, CR LF text", "x\r\ny", ShownByQt, "x\nz", "x\r\nz"},
      {"Qt box, line added", "a\r\nb", ShownByQt, "a\nb\nc\n", "a\r\nb\r\nc\r\n"},
      {"Qt box, LF text", "x\ny", ShownByQt, "x\nz", "x\nz"},
      {"Windows edit, CR LF text", "x\r\ny", ShownByWin32, "x\r\nz", "x\r\nz"},
      {"Windows edit, mixed", "p\r\nq", ShownByWin32, "p\r\nq\nr", "p\r\nq\r\nr"},
  };
  for (const Case& c : cases) {
    window.shows = c.shows;
    EXPECT_EQ(RoundTrip(c.bytes, [&c](std::string& field) { field = c.typed; }), c.saved) << c.name;
  }
}

TEST_F(DataExchangeTest, a_field_never_filled_gives_its_text_as_it_is) {
  std::string member = "old";
  window.texts[7] = "typed\n";
  dialog.exchange = [&member](DataExchange& dx) { dx.Text(7, member); };
  EXPECT_TRUE(dialog.UpdateData(true));
  EXPECT_EQ(member, "typed\n");
}

TEST_F(DataExchangeTest, integers_are_read_or_refused_with_the_focus_on_their_field) {
  struct Case {
    std::string typed;
    bool accepted;
    int value;
  };
  const std::vector<Case> cases = {
      {" 12 ", true, 12}, {"0", true, 0},    {"-5", true, -5},   {"99999999999", true, 2147483647},
      {"12a", false, 7},  {"1.5", false, 7}, {"0x10", false, 7}, {"-0", false, 7},
      {"", false, 7}};
  for (const Case& c : cases) {
    messages.shown.clear();
    window.focus.clear();
    int member = 7;
    int after = 0;
    std::string before;
    window.texts[3] = c.typed;
    dialog.exchange = [&](DataExchange& dx) {
      dx.Text(1, before);  // a field before and one after, so the focus could go astray
      dx.Int(3, member);
      dx.Check(4, after);
    };
    EXPECT_EQ(dialog.UpdateData(true), c.accepted) << c.typed;
    EXPECT_EQ(member, c.value) << c.typed;
    if (c.accepted) {
      EXPECT_TRUE(messages.shown.empty()) << c.typed;
      continue;
    }
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"Please enter an integer."}) << c.typed;
    EXPECT_EQ(messages.shown[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(window.focus, std::vector<int>{3}) << c.typed;
  }
}

TEST_F(DataExchangeTest, a_failure_stops_the_exchange_and_keeps_what_came_before) {
  std::string first = "a";
  std::string third = "c";
  int count = 1;
  window.texts = {{1, "new a"}, {2, "nope"}, {3, "new c"}};
  dialog.exchange = [&](DataExchange& dx) {
    dx.Text(1, first);
    dx.Int(2, count);
    dx.Text(3, third);
  };
  EXPECT_FALSE(dialog.UpdateData(true));
  EXPECT_EQ(first, "new a");
  EXPECT_EQ(third, "c");
  EXPECT_EQ(window.log, (std::vector<std::string>{"get 1", "get 2"}));
}

TEST_F(DataExchangeTest, the_range_check_and_fail_at_put_the_focus_where_they_say) {
  int value = 0;
  window.texts[3] = "0";
  dialog.exchange = [&](DataExchange& dx) {
    dx.Int(3, value);
    dx.MinMaxInt(value, 1, 2147483647);
  };
  EXPECT_FALSE(dialog.UpdateData(true));
  EXPECT_EQ(messages.texts(), std::vector<std::string>{"Please enter an integer between 1 and 2147483647."});
  EXPECT_EQ(window.focus, std::vector<int>{3});

  messages.shown.clear();
  window.focus.clear();
  dialog.exchange = [](DataExchange& dx) { dx.FailAt(9, "Elsewhere"); };
  EXPECT_FALSE(dialog.UpdateData(true));
  EXPECT_EQ(messages.texts(), std::vector<std::string>{"Elsewhere"});
  EXPECT_EQ(window.focus, std::vector<int>{9});
}

TEST_F(DataExchangeTest, a_quiet_failure_says_nothing_and_leaves_the_focus) {
  int value = 5;
  window.texts[3] = "x";
  dialog.exchange = [&](DataExchange& dx) { dx.Int(3, value); };
  EXPECT_FALSE(dialog.UpdateData(true, true));
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_TRUE(window.focus.empty());
  EXPECT_EQ(value, 5);
}

TEST_F(DataExchangeTest, check_boxes_show_0_1_2_and_save_0_or_1) {
  struct Case {
    int member;
    bool shown;
    int kept;
  };
  for (const Case c : {Case{0, false, 0}, Case{1, true, 1}, Case{2, true, 2}, Case{3, false, 0}, Case{-1, false, 0}}) {
    int member = c.member;
    dialog.exchange = [&member](DataExchange& dx) { dx.Check(4, member); };
    EXPECT_TRUE(dialog.UpdateData(false));
    EXPECT_EQ(window.checks[4], c.shown) << c.member;
    EXPECT_EQ(member, c.kept) << c.member;
    EXPECT_TRUE(dialog.UpdateData(true));
    EXPECT_EQ(member, c.shown ? 1 : 0) << c.member;
  }
}

TEST_F(DataExchangeTest, without_a_window_nothing_is_exchanged) {
  dialog.Attach(nullptr);
  bool ran = false;
  dialog.exchange = [&ran](DataExchange&) { ran = true; };
  EXPECT_FALSE(dialog.UpdateData(true));
  EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace kelvane
