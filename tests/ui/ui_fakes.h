// Fakes of the desktop services for the dialog tests.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/clipboard.h"
#include "platform/shell.h"
#include "support/test_support.h"
#include "ui/repeater_dlg.h"

namespace kelvane::test {

class FakeFileDialog : public FileDialog {
 public:
  std::optional<std::string> AskSaveFileName(const std::string& initialFolder,
                                             const std::string& initialName) override {
    asked.emplace_back(initialFolder, initialName);
    return answer;
  }
  std::vector<std::pair<std::string, std::string>> asked;
  std::optional<std::string> answer;
};

class FakeHelpViewer : public HelpViewer {
 public:
  bool ShowHelp(unsigned context) override {
    contexts.push_back(context);
    return works;
  }
  std::vector<unsigned> contexts;
  bool works = true;
};

class FakeUrlOpener : public UrlOpener {
 public:
  bool Open(const std::string& url) override {
    opened.push_back(url);
    return works;
  }
  std::vector<std::string> opened;
  bool works = true;
};

// Every service a dialog needs, faked, with a private settings folder.
struct FakeDesktop {
  TempDir config;
  ScopedEnv xdg{"XDG_CONFIG_HOME", config.path().c_str()};
  RecordingMessageBox messages;
  MemoryClipboard clipboard;
  FakeFileDialog fileDialog;
  FakeHelpViewer help;
  FakeUrlOpener urls;

  DialogServices services() { return {messages, clipboard, fileDialog, help, urls}; }
};

}  // namespace kelvane::test
