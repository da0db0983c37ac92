#include "clipboard/clipboard_transfer.h"

#include <new>

#include "platform/file.h"
#include "platform/file_error.h"
#include "res/resource.h"
#include "res/resource_script.h"

namespace kelvane {

std::int64_t ClipboardToString(Clipboard& clipboard, std::string& text, int mode) {
  if (!clipboard.Open()) {
    return 0;
  }
  std::optional<std::string> block = clipboard.TextBlock();
  clipboard.Close();
  if (!block) {
    return 0;
  }
  if (mode == kTextToFirstNul) {
    block->resize(block->find('\0') == std::string::npos ? block->size() : block->find('\0'));
  }
  text = std::move(*block);
  return static_cast<std::int64_t>(text.size());
}

ClipboardWrite StringToClipboard(Clipboard& clipboard, const std::string& text, std::int64_t length) {
  if (!clipboard.Open()) {
    return ClipboardWrite::Unavailable;
  }
  clipboard.Empty();
  const size_t count = length < 0 ? text.find('\0') : static_cast<size_t>(length);
  bool done = false;
  try {
    done = clipboard.SetText(count >= text.size() ? text : text.substr(0, count));
  } catch (const std::bad_alloc&) {
    done = false;
  }
  clipboard.Close();
  return done ? ClipboardWrite::Done : ClipboardWrite::OutOfMemory;
}

std::int64_t ClipboardToFile(Clipboard& clipboard, MessageBox& messages, const std::string& path, int mode) {
  try {
    File file = File::Open(path, File::Mode::CreateReadWrite);
    std::string text;
    ClipboardToString(clipboard, text, mode);
    file.Write(text);
    file.Close();
    return static_cast<std::int64_t>(text.size());
  } catch (const FileException& error) {
    messages.Show(error.ErrorReport());
    return -1;
  }
}

bool FileToClipboard(Clipboard& clipboard, MessageBox& messages, const std::string& path) {
  std::string text;
  try {
    File file = File::Open(path, File::Mode::Read);
    text = file.ReadAll();
    file.Close();
  } catch (const FileException& error) {
    messages.Show(error.ErrorReport());
    return false;
  }
  if (const size_t nul = text.find('\0'); nul != std::string::npos) {
    text.resize(nul);
  }
  const ClipboardWrite result = StringToClipboard(clipboard, text, static_cast<std::int64_t>(text.size()));
  if (result != ClipboardWrite::Done) {
    messages.Show(ClipboardWriteError(result));
    return false;
  }
  return true;
}

std::string ClipboardWriteError(ClipboardWrite result) {
  return res::LoadString(result == ClipboardWrite::Unavailable ? IDS_CLIPBOARD_UNAVAILABLE : IDS_MEMORY_EXCEPTION);
}

}  // namespace kelvane
