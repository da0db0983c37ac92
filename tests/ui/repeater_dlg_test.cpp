// The main dialog's logic against a fake window and host: exchange, Duplicate, the variable
// commands, Browse, Close, a stop request and Help, with what is saved read back.

#include "ui/repeater_dlg.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "logic_fakes.h"
#include "res/resource.h"
#include "settings/settings.h"
#include "support/settings_store.h"
#include "support/test_support.h"
#include "ui/variable_dlg.h"

namespace kelvane {
namespace {

using test::FakeDialogWindow;

class RepeaterDlgTest : public ::testing::Test, protected test::FakeServices {
 protected:
  void SetUp() override {
    if (!store.skipReason().empty()) GTEST_SKIP() << store.skipReason();
  }
  void TearDown() override {
    if (dialog) dialog->Attach(nullptr);
  }
  // Opens the main dialog with saved as the stored job, as the host does.
  void Open(const Job& saved, WindowSize size = {}) {
    SaveSettings(saved, size);
    dialog = std::make_unique<CRepeaterDlg>(services());
    dialog->Attach(&window);
    EXPECT_TRUE(dialog->OnInitDialog());
    window.log.clear();
  }
  static Job Saved() {
    Job job;
    LoadSettings(job);
    return job;
  }
  // The variable setup dialog's user: types tag and values, then presses command.
  static test::FakeDialogHost::Script Types(std::string tag, std::string values, int command = IDOK) {
    return [=](CDialog& d, FakeDialogWindow& w) {
      w.texts[IDC_VARIABLE_TAG] = tag;
      w.texts[IDC_VARIABLE_VALUES] = values;
      d.OnCommand(command);
    };
  }

  test::ScopedSettingsStore store;
  FakeDialogWindow window;
  std::unique_ptr<CRepeaterDlg> dialog;
};

TEST_F(RepeaterDlgTest, opening_fills_the_fields_and_the_list_from_the_settings) {
  Open({"Block\r\nTAG", "out.txt", 1, 3, {"TAG", "Other"}, {"a\r\nb\r\nc", "x"}}, {640, 480});
  EXPECT_EQ(window.texts[IDC_BLOCK_TEXT], "Block\r\nTAG");
  EXPECT_EQ(window.texts[IDC_OUTPUT_FILE], "out.txt");
  EXPECT_EQ(window.texts[IDC_REPEAT_COUNT], "3");
  EXPECT_TRUE(window.checks[IDC_APPEND]);
  EXPECT_EQ(window.headings[IDC_VARIABLE_LIST], "Variables");
  EXPECT_EQ(window.rows[IDC_VARIABLE_LIST], (std::vector<std::string>{"TAG", "Other"}));
  EXPECT_TRUE(window.iconSet);
  EXPECT_EQ(window.restored, (WindowSize{640, 480}));
  EXPECT_EQ(window.anchors.size(), size_t{13});
}

TEST_F(RepeaterDlgTest, no_stored_size_restores_none) {
  Open({});
  EXPECT_FALSE(window.restored.has_value());
  EXPECT_EQ(window.texts[IDC_REPEAT_COUNT], "1");
}

TEST_F(RepeaterDlgTest, duplicate_exchanges_in_order_and_fails_with_the_focus_where_it_should) {
  struct Case {
    const char* typed;
    std::string message;
    int focus;
    std::vector<std::string> read;  // the controls read, in order
  };
  const std::vector<std::string> all = {"get 1001", "get 1000", "get 1003", "get 1008"};
  const std::vector<Case> cases = {
      {"12a", "Please enter an integer.", IDC_REPEAT_COUNT, {"get 1001", "get 1000", "get 1003"}},
      {"0",
       "Please enter an integer between 1 and 2147483647.",
       IDC_REPEAT_COUNT,
       {"get 1001", "get 1000", "get 1003"}},
      {"3", "Variable <T> has 2 lines and the repeat value is 3.  Please correct.", IDC_APPEND, all},
  };
  for (const Case& c : cases) {
    test::TempDir dir;
    Open({"x", dir.File("out.txt"), 0, 2, {"T"}, {"a\nb"}});
    window.texts[IDC_REPEAT_COUNT] = c.typed;
    messages.shown.clear();
    dialog->OnCommand(IDOK);
    EXPECT_EQ(messages.texts(), std::vector<std::string>{c.message}) << c.typed;
    EXPECT_EQ(window.focus, std::vector<int>{c.focus}) << c.typed;
    EXPECT_EQ(window.log, c.read) << c.typed;
    EXPECT_FALSE(test::Exists(dir.File("out.txt"))) << c.typed;
    EXPECT_FALSE(window.ended.has_value()) << c.typed;
    EXPECT_EQ(host.progressRuns, 0);
    dialog->Attach(nullptr);
    window = FakeDialogWindow();
  }
}

TEST_F(RepeaterDlgTest, duplicate_saves_the_job_writes_the_file_and_stays_open) {
  test::TempDir dir;
  Open({"", "", 0, 1, {"<NAME>", "#"}, {"Ann\r\nBob", "%%count1%02d%%"}});
  window.texts[IDC_BLOCK_TEXT] = "#: Dear <name>\n";
  window.texts[IDC_OUTPUT_FILE] = dir.File("letters.txt");
  window.texts[IDC_REPEAT_COUNT] = "2";
  dialog->OnCommand(IDOK);
  EXPECT_EQ(test::ReadFile(dir.File("letters.txt")), "01: Dear Ann\n02: Dear Bob\n");
  EXPECT_EQ(messages.texts(), std::vector<std::string>{"Results were written to file " + dir.File("letters.txt")});
  EXPECT_EQ(host.progressRuns, 1);
  EXPECT_FALSE(window.ended.has_value());
  EXPECT_EQ(Saved().blockText, "#: Dear <name>\n");
}

// Each Duplicate runs the variables as they stand when it is pressed, and leaves the dialog's own.
TEST_F(RepeaterDlgTest, each_duplicate_runs_the_variables_as_they_are_then) {
  test::TempDir dir;
  const std::string out = dir.File("out.txt");
  Open({"<N>;", out, 0, 2, {"<N>"}, {"a\r\nb"}});
  host.shows = test::ShownByQt;
  window.selected[IDC_VARIABLE_LIST] = 0;
  struct Step {
    const char* name;
    std::function<void()> before;
    const char* count;
    std::string file;  // the output file afterwards
    std::string said;  // the one message shown
    std::vector<int> focus;
  };
  const std::vector<Step> steps = {
      {"as loaded", [] {}, "2", "a;b;", "Results were written to file " + out, {}},
      {"after an edit",
       [&] {
         host.scripts = {Types("<N>", "x\ny\nz")};
         dialog->OnCommand(IDC_EDIT_VARIABLE);
       },
       "3",
       "x;y;z;",
       "Results were written to file " + out,
       {}},
      {"a count the edited list refuses",
       [] {},
       "2",
       "x;y;z;",
       "Variable <<N>> has 3 lines and the repeat value is 2.  Please correct.",
       {IDC_APPEND}},
      {"after an add, to the clipboard",
       [&] {
         host.scripts = {Types("#", "%%count1%d%%")};
         dialog->OnCommand(IDC_ADD_VARIABLE);
         window.texts[IDC_BLOCK_TEXT] = "<N>#;";
         window.texts[IDC_OUTPUT_FILE].clear();
       },
       "3",
       "x;y;z;",
       "Results were written to the clipboard",
       {}},
  };
  for (const Step& step : steps) {
    step.before();
    window.texts[IDC_REPEAT_COUNT] = step.count;
    messages.shown.clear();
    window.focus.clear();
    dialog->OnCommand(IDOK);
    EXPECT_EQ(test::ReadFile(out), step.file) << step.name;
    EXPECT_EQ(messages.texts(), std::vector<std::string>{step.said}) << step.name;
    EXPECT_EQ(window.focus, step.focus) << step.name;
  }
  EXPECT_EQ(clipboard.formats["text/plain"], "x1;y2;z3;");
  const std::vector<std::string> values = {"x\r\ny\r\nz", "%%count1%d%%"};
  EXPECT_EQ(dialog->job().values, values);
  EXPECT_EQ(Saved().values, values);
}

TEST_F(RepeaterDlgTest, delete_asks_and_removes_only_on_yes) {
  struct Case {
    int selected;
    MessageAnswer answer;
    std::vector<std::string> asked;
    std::vector<std::string> rows;
    std::vector<std::string> values;
  };
  const std::vector<Case> cases = {
      {1, MessageAnswer::Yes, {"Are you sure you want to delete variable B?"}, {"A", "C"}, {"1", "3"}},
      {1, MessageAnswer::No, {"Are you sure you want to delete variable B?"}, {"A", "B", "C"}, {"1", "2", "3"}},
      {-1, MessageAnswer::Yes, {}, {"A", "B", "C"}, {"1", "2", "3"}},
  };
  for (const Case& c : cases) {
    Open({"", "", 0, 1, {"A", "B", "C"}, {"1", "2", "3"}});
    messages.shown.clear();
    messages.answers = {c.answer};
    window.selected[IDC_VARIABLE_LIST] = c.selected;
    dialog->OnCommand(IDC_DELETE_VARIABLE);
    EXPECT_EQ(messages.texts(), c.asked) << c.selected;
    if (!c.asked.empty()) {
      EXPECT_EQ(messages.shown[0].buttons, MessageButtons::YesNo);
    }
    EXPECT_EQ(window.rows[IDC_VARIABLE_LIST], c.rows);
    EXPECT_EQ(dialog->job().tags, c.rows);
    EXPECT_EQ(dialog->job().values, c.values);
    dialog->Attach(nullptr);
    window = FakeDialogWindow();
  }
}

TEST_F(RepeaterDlgTest, add_appends_on_ok_only_and_allows_the_same_tag_twice) {
  Open({});
  host.scripts = {Types("SAME", "1"), Types("SAME", "2\r\n3"), Types("NOT", "x", IDCANCEL)};
  for (int i = 0; i < 3; ++i) dialog->OnCommand(IDC_ADD_VARIABLE);
  ASSERT_EQ(host.runs.size(), size_t{3});
  EXPECT_EQ(host.runs[0].templateId, IDD_VARIABLE_DIALOG);
  EXPECT_EQ(host.runs[0].owner, dialog.get());
  EXPECT_EQ(window.rows[IDC_VARIABLE_LIST], (std::vector<std::string>{"SAME", "SAME"}));
  EXPECT_EQ(dialog->job().values, (std::vector<std::string>{"1", "2\r\n3"}));
}

TEST_F(RepeaterDlgTest, edit_and_double_click_change_the_selected_variable_on_ok_only) {
  struct Case {
    const char* name;
    bool doubleClick;
    std::vector<test::FakeDialogHost::Script> user;
    std::string tag;
    std::string values;
    size_t messages;
  };
  const auto refusedThenCancelled = [](CDialog& d, FakeDialogWindow& w) {
    w.texts[IDC_VARIABLE_TAG].clear();
    w.texts[IDC_VARIABLE_VALUES] = "changed";
    d.OnCommand(IDOK);
    d.OnCommand(IDCANCEL);
  };
  const std::vector<Case> cases = {
      {"edit, OK", false, {Types("NEW", "x\ny")}, "NEW", "x\r\ny", 0},
      {"double click, OK", true, {Types("NEW", "x\ny")}, "NEW", "x\r\ny", 0},
      {"edit, Cancel", false, {Types("NEW", "x", IDCANCEL)}, "OLD", "v\r\nw", 0},
      {"double click, refused then Cancel", true, {refusedThenCancelled}, "OLD", "v\r\nw", 1},
  };
  for (const Case& c : cases) {
    Open({"", "", 0, 1, {"FIRST", "OLD"}, {"1", "v\r\nw"}});
    messages.shown.clear();
    host.scripts.assign(c.user.begin(), c.user.end());
    host.shows = test::ShownByQt;
    window.selected[IDC_VARIABLE_LIST] = 1;
    if (c.doubleClick) {
      dialog->OnNotify(IDC_VARIABLE_LIST, Notification::DoubleClick);
    } else {
      dialog->OnCommand(IDC_EDIT_VARIABLE);
    }
    EXPECT_EQ(dialog->job().tags, (std::vector<std::string>{"FIRST", c.tag})) << c.name;
    EXPECT_EQ(dialog->job().values, (std::vector<std::string>{"1", c.values})) << c.name;
    EXPECT_EQ(window.rows[IDC_VARIABLE_LIST], (std::vector<std::string>{"FIRST", c.tag})) << c.name;
    EXPECT_EQ(messages.shown.size(), c.messages) << c.name;
    dialog->Attach(nullptr);
    window = FakeDialogWindow();
  }
}

TEST_F(RepeaterDlgTest, edit_shows_the_variable_and_ok_unchanged_hands_back_the_same_bytes) {
  Open({"", "", 0, 3, {"NAME"}, {"Ada\r\nBrian\r\nChloe\r\n"}});
  host.shows = test::ShownByQt;
  std::string shownTag, shownValues;
  host.scripts = {[&](CDialog& d, FakeDialogWindow& w) {
    shownTag = w.texts[IDC_VARIABLE_TAG];
    shownValues = w.texts[IDC_VARIABLE_VALUES];
    d.OnCommand(IDOK);
  }};
  window.selected[IDC_VARIABLE_LIST] = 0;
  dialog->OnCommand(IDC_EDIT_VARIABLE);
  EXPECT_EQ(shownTag, "NAME");
  EXPECT_EQ(shownValues, "Ada\nBrian\nChloe\n");
  EXPECT_EQ(dialog->job().values, std::vector<std::string>{"Ada\r\nBrian\r\nChloe\r\n"});
}

TEST_F(RepeaterDlgTest, edit_and_double_click_without_a_selection_open_nothing) {
  Open({"", "", 0, 1, {"A"}, {"1"}});
  dialog->OnCommand(IDC_EDIT_VARIABLE);
  dialog->OnNotify(IDC_VARIABLE_LIST, Notification::DoubleClick);
  EXPECT_TRUE(host.runs.empty());
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(RepeaterDlgTest, browse_splits_the_field_at_the_systems_last_separator) {
#ifdef _WIN32
  const std::string full = "C:\\out\\result.txt", folder = "C:\\out\\", slashes = "C:/out/result.txt";
#else
  const std::string full = "/home/ann/out/result.txt", folder = "/home/ann/out/", slashes = "a\\b.txt";
#endif
  struct Case {
    std::string field;
    std::string folder;
    std::string name;
  };
  // The other system's separator is part of a name.
  const std::vector<Case> cases = {{full, folder, "result.txt"},
                                   {"result.txt", "result.txt", "result.txt"},
                                   {"", "", ""},
                                   {slashes, slashes, slashes}};
  for (const Case& c : cases) {
    Open({});
    fileDialog.asked.clear();
    window.texts[IDC_OUTPUT_FILE] = c.field;
    dialog->OnCommand(IDC_BROWSE_OUTPUT_FILE);
    ASSERT_EQ(fileDialog.asked.size(), size_t{1}) << c.field;
    EXPECT_EQ(fileDialog.asked[0].first, c.folder) << c.field;
    EXPECT_EQ(fileDialog.asked[0].second, c.name) << c.field;
    EXPECT_EQ(window.texts[IDC_OUTPUT_FILE], c.field);  // cancelled
    EXPECT_EQ(dialog->job().outputFile, c.field);
    dialog->Attach(nullptr);
    window = FakeDialogWindow();
  }
  Open({});
  fileDialog.answer = folder + "new.txt";
  dialog->OnCommand(IDC_BROWSE_OUTPUT_FILE);
  EXPECT_EQ(window.texts[IDC_OUTPUT_FILE], folder + "new.txt");
  EXPECT_EQ(dialog->job().outputFile, folder + "new.txt");
}

TEST_F(RepeaterDlgTest, close_is_one_exchange_one_message_one_save) {
  struct Case {
    const char* name;
    bool closeBox;
    const char* typed;
    std::vector<std::string> said;
    int savedCount;
  };
  const std::vector<Case> cases = {
      {"Close, 0", false, "0", {"Please enter an integer between 1 and 2147483647."}, 0},
      {"close box, -1", true, "-1", {"Please enter an integer between 1 and 2147483647."}, -1},
      {"close box, not a number", true, "x", {"Please enter an integer."}, 4},
      {"Close, fine", false, "9", {}, 9},
  };
  for (const Case& c : cases) {
    Open({"old", "", 0, 4, {}, {}}, {700, 500});
    messages.shown.clear();
    window.texts[IDC_BLOCK_TEXT] = "kept";
    window.texts[IDC_REPEAT_COUNT] = c.typed;
    window.checks[IDC_APPEND] = true;
    if (c.closeBox) {
      dialog->OnClose();
    } else {
      dialog->OnCommand(IDCANCEL);
    }
    EXPECT_EQ(messages.texts(), c.said) << c.name;
    EXPECT_EQ(window.ended, IDCANCEL) << c.name;
    Job saved;
    WindowSize size;
    LoadSettings(saved, size);
    EXPECT_EQ(saved.blockText, "kept") << c.name;
    EXPECT_EQ(saved.repeatCount, c.savedCount) << c.name;
    // A refused count stops the exchange before the check box: the stored flag stays.
    EXPECT_EQ(saved.append, c.said.empty() ? 1 : 0) << c.name;
    // The window cannot be resized: the size stored before stays as it was.
    EXPECT_EQ(size, (WindowSize{700, 500})) << c.name;
    dialog->Attach(nullptr);
    window = FakeDialogWindow();
  }
}

TEST_F(RepeaterDlgTest, close_saves_the_size_the_user_gave_the_window) {
  Open({}, {700, 500});
  window.size = WindowSize{900, 650};
  dialog->OnCommand(IDCANCEL);
  Job saved;
  WindowSize size;
  LoadSettings(saved, size);
  EXPECT_EQ(size, (WindowSize{900, 650}));
}

TEST_F(RepeaterDlgTest, a_stop_request_closes_what_is_above_and_saves_without_a_word) {
  Open({"old", "", 0, 1, {}, {}});
  window.texts[IDC_BLOCK_TEXT] = "typed";
  window.texts[IDC_REPEAT_COUNT] = "not a number";
  dialog->OnStopSignal();
  dialog->OnStopSignal();  // a second signal changes nothing
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_TRUE(window.focus.empty());
  EXPECT_EQ(window.ended, IDCANCEL);
  EXPECT_GE(host.closedAbove, 1);
  EXPECT_EQ(Saved(), (Job{"typed", "", 0, 1, {}, {}}));
}

TEST_F(RepeaterDlgTest, help_opens_the_main_topic_or_says_it_failed) {
  Open({});
  dialog->OnCommand(ID_HELP);
  EXPECT_EQ(help.contexts, std::vector<unsigned>{0x20066});
  EXPECT_TRUE(messages.shown.empty());
  help.works = false;
  dialog->OnCommand(ID_HELP);
  EXPECT_EQ(messages.texts(), std::vector<std::string>{"Failed to launch help."});
}

}  // namespace
}  // namespace kelvane
