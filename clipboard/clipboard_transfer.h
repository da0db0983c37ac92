// Moving text between the clipboard, strings and files.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/clipboard.h"
#include "platform/file.h"
#include "platform/message_box.h"

namespace kelvane {

// Mode for reading the clipboard: the text ends at its first NUL byte. Any other mode takes
// every byte of the clipboard's block.
constexpr int kTextToFirstNul = 1;

// Whether a text reached the clipboard.
enum class ClipboardWrite { Done, OutOfMemory, Unavailable };

// Reads the clipboard's text into text and returns its length; 0, with text untouched, when
// the clipboard holds no text.
std::int64_t ClipboardToString(Clipboard& clipboard, std::string& text, int mode);

// Empties the clipboard and puts the first length bytes of text on it (length -1: up to the
// first NUL byte).
ClipboardWrite StringToClipboard(Clipboard& clipboard, const std::string& text, std::int64_t length);

// Creates or truncates the file at path and writes the clipboard's text into it; returns the
// number of bytes written (0 for no text), or -1 after reporting a file error.
std::int64_t ClipboardToFile(Clipboard& clipboard, MessageBox& messages, const std::string& path, int mode);
// The same into a file already open for writing, at its position, left open.
std::int64_t ClipboardToFile(Clipboard& clipboard, MessageBox& messages, File& file, int mode);

// Puts the whole file at path, up to its first NUL byte, on the clipboard as text. Reports a
// failure itself and returns false; running out of memory reading the file is left to the caller.
bool FileToClipboard(Clipboard& clipboard, MessageBox& messages, const std::string& path);

// The bytes read from a file at a time when it goes to the clipboard.
constexpr size_t kClipboardPiece = size_t{8} << 20;

// The first half of FileToClipboard, for any thread: reads the file at path, up to its first NUL
// byte, into a new text of the clipboard's, a piece at a time, so that only the clipboard's form
// of it is ever whole in memory. Nothing when cancel is set before it is done. Throws
// FileException and std::bad_alloc.
std::unique_ptr<ClipboardText> ReadFileForClipboard(Clipboard& clipboard, const std::string& path,
                                                    const std::atomic<bool>* cancel = nullptr,
                                                    size_t piece = kClipboardPiece);
// The same from a file already open for reading, from its position on; the file stays open.
std::unique_ptr<ClipboardText> ReadFileForClipboard(Clipboard& clipboard, File& file,
                                                    const std::atomic<bool>* cancel = nullptr,
                                                    size_t piece = kClipboardPiece);

// The second half, on the clipboard's thread: empties the clipboard and puts the text on it.
ClipboardWrite PreparedTextToClipboard(Clipboard& clipboard, std::unique_ptr<ClipboardText> text);

// The message for a text that did not reach the clipboard.
std::string ClipboardWriteError(ClipboardWrite result);

}  // namespace kelvane
