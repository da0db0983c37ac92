// The clipboard that every program of the desktop shares, for programs without a toolkit of their own.
#pragma once

#include <memory>

#include "platform/clipboard.h"

namespace kelvane {

// On Windows the system clipboard, its text as CF_UNICODETEXT, so that every program can paste it.
// On Linux nullptr: there the clipboard belongs to the display, and only the Qt window reaches it
// (platform/qt).
std::unique_ptr<Clipboard> SystemClipboard();

}  // namespace kelvane
