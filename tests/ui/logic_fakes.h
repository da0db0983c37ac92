// Fakes for the dialogs' logic: a dialog window and host without any toolkit or display, beside
// the desktop services' fakes.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/service_fakes.h"
#include "support/test_support.h"
#include "ui/dialog.h"
#include "ui/dialog_host.h"
#include "ui/dialog_services.h"
#include "ui/dialog_window.h"

namespace kelvane::test {

// How a Qt text box shows a text: CR LF and a lone CR become LF, bytes that are not UTF-8 a
// replacement character each.
inline std::string ShownByQt(std::string_view text) {
  std::string shown;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (text[i] == '\r') {
      shown += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (byte >= 0x80) {
      shown += "\xEF\xBF\xBD";
    } else {
      shown += text[i];
    }
  }
  return shown;
}

// How a Windows edit control shows one: each lone LF as CR LF.
inline std::string ShownByWin32(std::string_view text) {
  std::string shown;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) shown += '\r';
    shown += text[i];
  }
  return shown;
}

// A dialog's window as the logic sees it: fields, check boxes, lists, focus and end, with a log of
// the logic's calls in order. shows says how the toolkit's field shows a text it is given.
class FakeDialogWindow : public DialogWindow {
 public:
  std::string GetDlgItemText(int id) const override {
    log.push_back("get " + std::to_string(id));
    const auto found = texts.find(id);
    return found == texts.end() ? std::string() : found->second;
  }
  void SetDlgItemText(int id, std::string_view text) override {
    log.push_back("set " + std::to_string(id));
    texts[id] = shows ? shows(text) : std::string(text);
  }
  bool IsDlgButtonChecked(int id) const override {
    log.push_back("get " + std::to_string(id));
    return checks.contains(id) && checks.at(id);
  }
  void CheckDlgButton(int id, bool checked) override {
    log.push_back("set " + std::to_string(id));
    checks[id] = checked;
  }
  void GotoDlgCtrl(int id) override { focus.push_back(id); }
  void EndDialog(int result) override { ended = result; }
  void SetUpList(int id, std::string_view heading) override { headings[id] = heading; }
  void InsertListRow(int id, int row, std::string_view text) override {
    rows[id].insert(rows[id].begin() + row, std::string(text));
  }
  void SetListRowText(int id, int row, std::string_view text) override { rows[id].at(static_cast<size_t>(row)) = text; }
  void DeleteListRow(int id, int row) override {
    rows[id].erase(rows[id].begin() + row);
    selected.erase(id);
  }
  int ListRowCount(int id) const override { return rows.contains(id) ? static_cast<int>(rows.at(id).size()) : 0; }
  int SelectedListRow(int id) const override { return selected.contains(id) ? selected.at(id) : -1; }
  void SetProgramIcon() override { iconSet = true; }
  LinkWindow* LinkControl(int /*id*/) override { return nullptr; }
  void SetAnchor(int id, Anchor anchor) override { anchors[id] = anchor; }
  std::optional<WindowSize> UserSize() const override { return size; }
  void RestoreUserSize(WindowSize given) override {
    restored = given;
    if (size) {
      size = given;
    }
  }

  std::map<int, std::string> texts;
  std::function<std::string(std::string_view)> shows;
  std::map<int, bool> checks;
  std::vector<int> focus;  // each control GotoDlgCtrl() went to
  std::optional<int> ended;
  std::map<int, std::string> headings;
  std::map<int, std::vector<std::string>> rows;
  std::map<int, int> selected;
  bool iconSet = false;
  std::map<int, Anchor> anchors;
  std::optional<WindowSize> size;  // nothing: a window that cannot be resized
  std::optional<WindowSize> restored;
  mutable std::vector<std::string> log;
};

// Runs each dialog in a FakeDialogWindow: OnInitDialog(), then the next script, which plays the
// user (no script: the dialog is cancelled); returns what EndDialog() was given.
class FakeDialogHost : public DialogHost {
 public:
  using Script = std::function<void(CDialog& dialog, FakeDialogWindow& window)>;

  int RunModal(CDialog& dialog, CDialog* owner) override {
    runs.push_back({dialog.templateId(), owner});
    FakeDialogWindow window;
    window.shows = shows;
    dialog.Attach(&window);
    dialog.OnInitDialog();
    if (scripts.empty()) {
      dialog.OnCommand(2);  // IDCANCEL
    } else {
      Script script = std::move(scripts.front());
      scripts.pop_front();
      script(dialog, window);
    }
    dialog.Attach(nullptr);
    return window.ended.value_or(0);
  }
  void CloseWindowsAbove(CDialog& /*main*/) override { ++closedAbove; }
  RunOutcome RunWithProgress(DuplicateRun& run, CDialog& /*owner*/, const bool* /*stop*/) override {
    ++progressRuns;
    run.WriteCopies();
    if (run.writesToClipboard()) {
      run.PrepareClipboardText();
    }
    return run.Finish();
  }

  struct Run {
    int templateId;
    CDialog* owner;
  };
  std::vector<Run> runs;
  std::deque<Script> scripts;
  // How the fields of the windows made show a text they are given.
  std::function<std::string(std::string_view)> shows;
  int closedAbove = 0;
  int progressRuns = 0;
};

// Every service a dialog needs, faked, for a test fixture to derive from.
struct FakeServices {
  FakeDialogHost host;
  RecordingMessageBox messages;
  MemoryClipboard clipboard;
  FakeFileDialog fileDialog;
  FakeHelpViewer help;
  FakeUrlOpener urls;

  DialogServices services() { return {host, messages, clipboard, fileDialog, help, urls, {}}; }
};

}  // namespace kelvane::test
