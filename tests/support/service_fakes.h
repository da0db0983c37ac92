// Fakes of the desktop services the dialogs and the link use: file dialog, help viewer, URL opener
// and a clipboard whose prepared texts can be held up. Free of any toolkit.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/clipboard.h"
#include "platform/shell.h"

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

// Answers at once with works, or, when deferred, keeps the answer for the test to give.
class FakeOpener {
 public:
  void Answer(OpenDone done) {
    if (deferred) {
      pending.push_back(std::move(done));
    } else {
      done(works);
    }
  }
  // Gives the oldest kept answer.
  void Reply(bool opened) {
    OpenDone done = std::move(pending.front());
    pending.erase(pending.begin());
    done(opened);
  }
  bool works = true;
  bool deferred = false;
  std::vector<OpenDone> pending;
};

class FakeHelpViewer : public HelpViewer, public FakeOpener {
 public:
  void ShowHelp(unsigned context, OpenDone done) override {
    contexts.push_back(context);
    Answer(std::move(done));
  }
  std::vector<unsigned> contexts;
};

class FakeUrlOpener : public UrlOpener, public FakeOpener {
 public:
  void Open(const std::string& url, OpenDone done) override {
    opened.push_back(url);
    Answer(std::move(done));
  }
  std::vector<std::string> opened;
};

// The in-memory clipboard, whose prepared texts can be held up in Append(), as a huge text keeps a
// real run busy reading it back.
class GatedClipboard : public MemoryClipboard {
 public:
  class GatedText : public ClipboardText {
   public:
    GatedText(GatedClipboard& owner, std::unique_ptr<ClipboardText> text) : owner_(owner), inner(std::move(text)) {}
    void Append(std::string_view bytes) override {
      std::unique_lock lock(owner_.mutex_);
      owner_.appending = true;
      owner_.opened_.wait(lock, [this] { return !owner_.held_; });
      inner->Append(bytes);
    }

   private:
    GatedClipboard& owner_;

   public:
    std::unique_ptr<ClipboardText> inner;
  };

  std::unique_ptr<ClipboardText> NewText(std::uint64_t sizeHint) override {
    return std::make_unique<GatedText>(*this, MemoryClipboard::NewText(sizeHint));
  }
  bool SetPreparedText(std::unique_ptr<ClipboardText> text) override {
    auto* gated = dynamic_cast<GatedText*>(text.get());
    return gated != nullptr && MemoryClipboard::SetPreparedText(std::move(gated->inner));
  }
  // Makes the next Append() wait until Release().
  void Hold() {
    const std::lock_guard lock(mutex_);
    held_ = true;
  }
  void Release() {
    {
      const std::lock_guard lock(mutex_);
      held_ = false;
    }
    opened_.notify_all();
  }
  // Whether an Append() has started.
  std::atomic<bool> appending = false;

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  bool held_ = false;
};

}  // namespace kelvane::test
