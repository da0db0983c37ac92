#include "platform/system_clipboard.h"

#include <windows.h>

#include <limits>

#include "platform/win32/wide.h"

namespace kelvane {

namespace {

// The clipboard through user32: opened for a window of its own, text as CF_UNICODETEXT in global
// memory that the clipboard then owns.
class WindowsClipboard : public Clipboard {
 public:
  ~WindowsClipboard() override { Close(); }

  bool Open() override {
    Close();
    // With no owner window, EmptyClipboard leaves the clipboard without an owner and, as documented,
    // SetClipboardData then fails: a message-only window owns what is put, for this access only.
    window_ = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    if (window_ == nullptr) {
      return false;
    }
    // Clipboard viewers and managers hold it for a moment after every change: a few short tries.
    for (int attempt = 0; attempt < 20; ++attempt) {
      if (::OpenClipboard(window_)) {
        open_ = true;
        emptied_ = false;
        return true;
      }
      ::Sleep(25);
    }
    ::DestroyWindow(window_);
    window_ = nullptr;
    return false;
  }

  void Close() override {
    if (open_) {
      ::CloseClipboard();
      open_ = false;
    }
    if (window_ != nullptr) {
      // What was put stays on the clipboard: it is in the clipboard's own memory, not the window's.
      ::DestroyWindow(window_);
      window_ = nullptr;
    }
  }

  std::optional<std::string> TextBlock() override {
    // Windows makes CF_UNICODETEXT from a CF_TEXT or CF_OEMTEXT that another program put.
    const HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
    if (data == nullptr) {
      return std::nullopt;
    }
    const auto* units = static_cast<const wchar_t*>(::GlobalLock(data));
    if (units == nullptr) {
      return std::nullopt;
    }
    std::string block;
    try {
      // The whole block, which may run past the text's NUL; an odd last byte is no character.
      NarrowAppend(std::wstring_view(units, ::GlobalSize(data) / sizeof(wchar_t)), block);
    } catch (...) {
      ::GlobalUnlock(data);
      throw;
    }
    ::GlobalUnlock(data);
    return block;
  }

  void Empty() override {
    if (::EmptyClipboard()) {
      emptied_ = true;
    }
  }

  bool SetText(const std::string& text) override {
    if (!Put(CF_UNICODETEXT, text, CP_UTF8)) {
      return false;
    }
    if (!emptied_) {
      // Kept formats may hold another program's 8-bit text, which Windows would go on handing to
      // programs that paste that form: they get this text too. (After EmptyClipboard Windows makes
      // them from the UTF-16 text itself.)
      Put(CF_TEXT, text, CP_ACP);
      Put(CF_OEMTEXT, text, CP_OEMCP);
    }
    return true;
  }

 private:
  // Puts text, NUL-terminated, under format: UTF-16 for CF_UNICODETEXT, else in codePage. False
  // when there is no memory for it, or the clipboard does not take it.
  static bool Put(UINT format, const std::string& text, UINT codePage) {
    const std::size_t units = WidenTo(text, nullptr);
    std::size_t bytes = units + 1;
    std::wstring wide;
    if (format != CF_UNICODETEXT && units > 0) {
      wide.resize(units);
      WidenTo(text, wide.data());
      if (units > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        return false;
      }
      bytes = static_cast<std::size_t>(::WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(units), nullptr,
                                                             0, nullptr, nullptr)) +
              1;
    } else if (units >= std::numeric_limits<std::size_t>::max() / sizeof(wchar_t)) {
      return false;
    } else {
      bytes *= sizeof(wchar_t);
    }
    const HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (memory == nullptr) {
      return false;
    }
    void* target = ::GlobalLock(memory);
    if (target == nullptr) {
      ::GlobalFree(memory);
      return false;
    }
    if (format == CF_UNICODETEXT) {
      auto* out = static_cast<wchar_t*>(target);
      WidenTo(text, out);
      out[units] = L'\0';
    } else {
      auto* out = static_cast<char*>(target);
      if (units > 0) {
        ::WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(units), out, static_cast<int>(bytes - 1),
                              nullptr, nullptr);
      }
      out[bytes - 1] = '\0';
    }
    ::GlobalUnlock(memory);
    if (::SetClipboardData(format, memory) == nullptr) {
      ::GlobalFree(memory);  // still ours: the clipboard took nothing
      return false;
    }
    return true;
  }

  HWND window_ = nullptr;
  bool open_ = false;
  bool emptied_ = false;
};

}  // namespace

std::unique_ptr<Clipboard> SystemClipboard() {
  return std::make_unique<WindowsClipboard>();
}

}  // namespace kelvane
