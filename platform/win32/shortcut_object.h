// The shell's ways of opening links: its Internet Shortcut object, which also saves them as .URL
// files, and ShellExecute.
#pragma once

#include <windows.h>
// After windows.h, which it needs; WIN32_LEAN_AND_MEAN leaves COM's interfaces out of it.
#include <ole2.h>
// After ole2.h, whose interfaces it uses.
#include <intshcut.h>

#include <string>

namespace kelvane {

// COM on the calling thread while it lives: the thread keeps the apartment it is in, or gets a
// single-threaded one for the time being, so callers need not have set COM up.
class ComApartment {
 public:
  ComApartment();
  ~ComApartment();
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

  // False when COM cannot be used on this thread.
  [[nodiscard]] bool ready() const { return ready_; }

 private:
  bool ready_ = false;
  bool joined_ = false;
};

// The object holding a URL, for the life of a ComApartment; null when it could not be created or
// refused the URL.
class InternetShortcutObject {
 public:
  explicit InternetShortcutObject(const std::wstring& url);
  ~InternetShortcutObject();
  InternetShortcutObject(const InternetShortcutObject&) = delete;
  InternetShortcutObject& operator=(const InternetShortcutObject&) = delete;

  [[nodiscard]] IUniformResourceLocatorW* get() const { return locator_; }

 private:
  IUniformResourceLocatorW* locator_ = nullptr;
};

// ShellExecuteW's "open" of a URL or file, shown; false when nothing took it.
bool OpenViaShellExecute(const std::wstring& target, HWND owner);

}  // namespace kelvane
