#include "platform/win32/shortcut_object.h"

#include <shellapi.h>

namespace kelvane {

ComApartment::ComApartment() {
  const HRESULT result = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  // S_FALSE: the thread was in an apartment of this kind already, and the call still counts.
  joined_ = SUCCEEDED(result);
  // A multithreaded apartment set up by someone else serves as well.
  ready_ = joined_ || result == RPC_E_CHANGED_MODE;
}

ComApartment::~ComApartment() {
  if (joined_) {
    ::CoUninitialize();
  }
}

InternetShortcutObject::InternetShortcutObject(const std::wstring& url) {
  void* object = nullptr;
  if (FAILED(::CoCreateInstance(CLSID_InternetShortcut, nullptr, CLSCTX_INPROC_SERVER, IID_IUniformResourceLocatorW,
                                &object))) {
    return;
  }
  locator_ = static_cast<IUniformResourceLocatorW*>(object);
  if (FAILED(locator_->SetURL(url.c_str(), IURL_SETURL_FL_GUESS_PROTOCOL))) {
    locator_->Release();
    locator_ = nullptr;
  }
}

InternetShortcutObject::~InternetShortcutObject() {
  if (locator_ != nullptr) {
    locator_->Release();
  }
}

bool OpenViaShellExecute(const std::wstring& target, HWND owner) {
  const auto result =
      reinterpret_cast<INT_PTR>(::ShellExecuteW(owner, L"open", target.c_str(), nullptr, nullptr, SW_SHOW));
  return result > 32;
}

}  // namespace kelvane
