#include "clipboard/clipboard_transfer.h"

#include <algorithm>
#include <new>
#include <string_view>
#include <utility>

#include "platform/file.h"
#include "platform/file_error.h"
#include "res/resource.h"
#include "res/resource_script.h"

namespace kelvane {

std::int64_t ClipboardToString(Clipboard& clipboard, std::string& text, int mode) {
  if (!clipboard.Open()) {
    return 0;
  }
  std::optional<std::string> block;
  try {
    block = clipboard.TextBlock();
  } catch (...) {
    clipboard.Close();  // never left open to every other program while the error goes up
    throw;
  }
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
    // Not one conditional expression: its result would be a copy of the whole text.
    if (count >= text.size()) {
      done = clipboard.SetText(text);
    } else {
      done = clipboard.SetText(text.substr(0, count));
    }
  } catch (const std::bad_alloc&) {
    done = false;
  }
  clipboard.Close();
  return done ? ClipboardWrite::Done : ClipboardWrite::OutOfMemory;
}

std::int64_t ClipboardToFile(Clipboard& clipboard, MessageBox& messages, const std::string& path, int mode) {
  try {
    File file = File::Open(path, File::Mode::CreateReadWrite);
    const std::int64_t written = ClipboardToFile(clipboard, messages, file, mode);
    if (written >= 0) {
      file.Close();
    }
    return written;
  } catch (const FileException& error) {
    messages.Show(error.ErrorReport());
    return -1;
  }
}

std::int64_t ClipboardToFile(Clipboard& clipboard, MessageBox& messages, File& file, int mode) {
  try {
    std::string text;
    ClipboardToString(clipboard, text, mode);
    file.Write(text);
    file.Flush();
    return static_cast<std::int64_t>(text.size());
  } catch (const FileException& error) {
    messages.Show(error.ErrorReport());
    return -1;
  }
}

bool FileToClipboard(Clipboard& clipboard, MessageBox& messages, const std::string& path) {
  std::unique_ptr<ClipboardText> text;
  try {
    text = ReadFileForClipboard(clipboard, path);
  } catch (const FileException& error) {
    messages.Show(error.ErrorReport());
    return false;
  }
  const ClipboardWrite result = PreparedTextToClipboard(clipboard, std::move(text));
  if (result != ClipboardWrite::Done) {
    messages.Show(ClipboardWriteError(result));
    return false;
  }
  return true;
}

namespace {

// How many of the bytes end on a whole UTF-8 character: a lead byte among the last three whose
// character runs past the end starts the bytes held back for the next piece.
size_t WholeCharacters(std::string_view bytes) {
  for (size_t back = 1; back <= 3 && back <= bytes.size(); ++back) {
    const auto byte = static_cast<unsigned char>(bytes[bytes.size() - back]);
    if ((byte & 0xC0) == 0x80) {
      continue;  // a continuation byte: its lead is further back
    }
    const size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
    return length > back ? bytes.size() - back : bytes.size();
  }
  return bytes.size();
}

}  // namespace

std::unique_ptr<ClipboardText> ReadFileForClipboard(Clipboard& clipboard, const std::string& path,
                                                    const std::atomic<bool>* cancel, size_t piece) {
  File file = File::Open(path, File::Mode::Read);
  std::unique_ptr<ClipboardText> text = ReadFileForClipboard(clipboard, file, cancel, piece);
  file.Close();
  return text;
}

std::unique_ptr<ClipboardText> ReadFileForClipboard(Clipboard& clipboard, File& file, const std::atomic<bool>* cancel,
                                                    size_t piece) {
  const auto cancelled = [cancel] { return cancel != nullptr && cancel->load(std::memory_order_relaxed); };
  std::unique_ptr<ClipboardText> text = clipboard.NewText(file.Size());
  const std::unique_ptr<char[]> buffer(new char[piece + 3]);
  size_t held = 0;  // the start of a character cut off at the end of the last piece
  for (;;) {
    if (cancelled()) {
      return nullptr;
    }
    const size_t got = file.Read(buffer.get() + held, piece);
    std::string_view bytes(buffer.get(), held + got);
    const size_t nul = bytes.find('\0');
    const bool last = got == 0 || nul != std::string_view::npos;
    bytes = bytes.substr(0, nul);
    const size_t whole = last ? bytes.size() : WholeCharacters(bytes);
    if (whole > 0) {
      text->Append(bytes.substr(0, whole));
    }
    if (last) {
      break;
    }
    held = bytes.size() - whole;
    std::copy(bytes.end() - static_cast<std::ptrdiff_t>(held), bytes.end(), buffer.get());
  }
  return cancelled() ? nullptr : std::move(text);
}

ClipboardWrite PreparedTextToClipboard(Clipboard& clipboard, std::unique_ptr<ClipboardText> text) {
  if (!clipboard.Open()) {
    return ClipboardWrite::Unavailable;
  }
  clipboard.Empty();
  bool done = false;
  try {
    done = text != nullptr && clipboard.SetPreparedText(std::move(text));
  } catch (const std::bad_alloc&) {
    done = false;
  }
  clipboard.Close();
  return done ? ClipboardWrite::Done : ClipboardWrite::OutOfMemory;
}

std::string ClipboardWriteError(ClipboardWrite result) {
  return res::LoadString(result == ClipboardWrite::Unavailable ? IDS_CLIPBOARD_UNAVAILABLE : IDS_MEMORY_EXCEPTION);
}

}  // namespace kelvane
