// The Windows clipboard as other programs see it: what ours puts, they paste, and the other way round.
#include "platform/system_clipboard.h"

#include <windows.h>

#include <gtest/gtest.h>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>

#include "clipboard/clipboard_transfer.h"
#include "support/test_support.h"

namespace kelvane {
namespace {

using namespace std::string_literals;
using test::Utf16Bytes;

// Another program's plain calls, with a window of its own to own what it puts.
class PlainClipboard {
 public:
  PlainClipboard()
      : window_(::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr)) {
    open_ = window_ != nullptr && ::OpenClipboard(window_);
  }
  ~PlainClipboard() {
    if (open_) {
      ::CloseClipboard();
    }
    if (window_ != nullptr) {
      ::DestroyWindow(window_);
    }
  }
  PlainClipboard(const PlainClipboard&) = delete;
  PlainClipboard& operator=(const PlainClipboard&) = delete;

  [[nodiscard]] bool open() const { return open_; }
  bool Empty() { return ::EmptyClipboard() != 0; }
  // Puts a block of exactly these bytes.
  bool Put(UINT format, const std::string& bytes) {
    const HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    if (memory == nullptr) {
      return false;
    }
    std::memcpy(::GlobalLock(memory), bytes.data(), bytes.size());
    ::GlobalUnlock(memory);
    if (::SetClipboardData(format, memory) == nullptr) {
      ::GlobalFree(memory);
      return false;
    }
    return true;
  }
  // A format's block, whole.
  std::optional<std::string> Get(UINT format) {
    const HANDLE data = ::GetClipboardData(format);
    if (data == nullptr) {
      return std::nullopt;
    }
    std::string bytes(static_cast<const char*>(::GlobalLock(data)), ::GlobalSize(data));
    ::GlobalUnlock(data);
    return bytes;
  }

 private:
  HWND window_;
  bool open_ = false;
};

// A text block up to and with its first NUL (of a unit's size), as a program that pastes reads it.
std::string ToNul(const std::optional<std::string>& block, size_t unit) {
  if (!block) {
    return "(none)";
  }
  for (size_t i = 0; i + unit <= block->size(); i += unit) {
    if (block->compare(i, unit, std::string(unit, '\0')) == 0) {
      return block->substr(0, i + unit);
    }
  }
  return *block + "(no NUL)";
}

class system_clipboard_test : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(clipboard_, nullptr);
    PlainClipboard plain;
    if (!plain.open() || !plain.Empty() || !plain.Put(CF_UNICODETEXT, Utf16Bytes(u"probe\0"s))) {
      GTEST_SKIP() << "this system gives no working clipboard even to plain calls (error " << ::GetLastError() << ")";
    }
  }

  std::unique_ptr<Clipboard> clipboard_ = SystemClipboard();
};

TEST_F(system_clipboard_test, what_we_put_other_programs_paste_as_unicode_and_8_bit_text) {
  const struct {
    std::string text;
    std::u16string unicode;
  } cases[] = {
      {"", u""},
      {"row 1\r\nrow 2\r\n", u"row 1\r\nrow 2\r\n"},
      {"caf\xC3\xA9 \xE6\xBC\xA2\xE5\xAD\x97 \xF0\x9F\x98\x80", u"caf\u00E9 \u6F22\u5B57 \U0001F600"},
      {std::string(100000, 'x') + "end", std::u16string(100000, u'x') + u"end"},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(clipboard_->Open());
    clipboard_->Empty();
    ASSERT_TRUE(clipboard_->SetText(c.text));
    clipboard_->Close();

    PlainClipboard plain;
    ASSERT_TRUE(plain.open());
    EXPECT_EQ(ToNul(plain.Get(CF_UNICODETEXT), 2), Utf16Bytes(c.unicode + u'\0')) << c.text.substr(0, 40);
    if (c.text.find('\xC3') == std::string::npos && c.text.find('\xE6') == std::string::npos) {
      // Programs that paste 8-bit text get it too, made by Windows from the UTF-16.
      EXPECT_EQ(ToNul(plain.Get(CF_TEXT), 1), c.text + '\0');
    }
  }
}

TEST_F(system_clipboard_test, what_other_programs_put_we_read) {
  const struct {
    UINT format;
    std::string block;
    std::string expected;  // the whole block, as UTF-8
  } cases[] = {
      {CF_UNICODETEXT, Utf16Bytes(u"caf\u00E9\r\n\U0001F600\0"s), "caf\xC3\xA9\r\n\xF0\x9F\x98\x80\0"s},
      // A block larger than its text: the text's NUL, then whatever the block holds. (Wine makes the
      // last unit of a text block a NUL, so the block here ends with one.)
      {CF_UNICODETEXT, Utf16Bytes(u"ab\0zz\0"s), "ab\0zz\0"s},
      // An odd last byte is no character.
      {CF_UNICODETEXT, Utf16Bytes(u"ab\0"s) + "q", "ab\0"s},
      // An 8-bit program's text: Windows makes the UTF-16 form.
      {CF_TEXT, "plain 8-bit\0"s, "plain 8-bit\0"s},
  };
  for (const auto& c : cases) {
    {
      PlainClipboard plain;
      ASSERT_TRUE(plain.open());
      ASSERT_TRUE(plain.Empty());
      ASSERT_TRUE(plain.Put(c.format, c.block));
    }
    ASSERT_TRUE(clipboard_->Open());
    const std::optional<std::string> block = clipboard_->TextBlock();
    clipboard_->Close();
    ASSERT_TRUE(block.has_value());
    // Windows may round a block's size up; what the block held is there, from its start.
    EXPECT_EQ(block->substr(0, c.expected.size()), c.expected) << testing::PrintToString(c.block);
    std::string text;
    EXPECT_EQ(ClipboardToString(*clipboard_, text, kTextToFirstNul), static_cast<std::int64_t>(c.expected.find('\0')));
    EXPECT_EQ(text, c.expected.substr(0, c.expected.find('\0')));
  }
}

TEST_F(system_clipboard_test, a_clipboard_without_text_gives_none) {
  const UINT other = ::RegisterClipboardFormatW(L"Kelvane test data");
  {
    PlainClipboard plain;
    ASSERT_TRUE(plain.open());
    ASSERT_TRUE(plain.Empty());
    ASSERT_TRUE(plain.Put(other, "\x01\x02"s));
  }
  ASSERT_TRUE(clipboard_->Open());
  EXPECT_EQ(clipboard_->TextBlock(), std::nullopt);
  clipboard_->Close();
  std::string text = "unchanged";
  EXPECT_EQ(ClipboardToString(*clipboard_, text, kTextToFirstNul), 0);
  EXPECT_EQ(text, "unchanged");
}

TEST_F(system_clipboard_test, emptying_removes_other_formats_and_putting_alone_keeps_them) {
  const UINT other = ::RegisterClipboardFormatW(L"Kelvane test data");
  const auto putOld = [&] {
    PlainClipboard plain;
    ASSERT_TRUE(plain.open());
    ASSERT_TRUE(plain.Empty());
    ASSERT_TRUE(plain.Put(other, "kept"s));
    ASSERT_TRUE(plain.Put(CF_TEXT, "old 8-bit\0"s));
  };
  putOld();
  ASSERT_EQ(StringToClipboard(*clipboard_, "new", -1), ClipboardWrite::Done);
  {
    PlainClipboard plain;
    ASSERT_TRUE(plain.open());
    EXPECT_EQ(plain.Get(other), std::nullopt);
    EXPECT_EQ(ToNul(plain.Get(CF_UNICODETEXT), 2), Utf16Bytes(u"new\0"s));
    EXPECT_EQ(ToNul(plain.Get(CF_TEXT), 1), "new\0"s);
  }

  // Only the text, as the link's Copy Shortcut puts it: the rest stays, and no form of the old text.
  putOld();
  ASSERT_TRUE(clipboard_->Open());
  ASSERT_TRUE(clipboard_->SetText("https://example.org/\xC3\xA9"));
  clipboard_->Close();
  PlainClipboard plain;
  ASSERT_TRUE(plain.open());
  EXPECT_EQ(plain.Get(other).value_or("(none)").substr(0, 4), "kept");
  EXPECT_EQ(ToNul(plain.Get(CF_UNICODETEXT), 2), Utf16Bytes(u"https://example.org/\u00E9\0"s));
  EXPECT_EQ(ToNul(plain.Get(CF_TEXT), 1).substr(0, 20), "https://example.org/");
  EXPECT_NE(ToNul(plain.Get(CF_TEXT), 1), "old 8-bit\0"s);
}

TEST_F(system_clipboard_test, a_prepared_text_goes_on_whole) {
  std::unique_ptr<ClipboardText> text = clipboard_->NewText(16);
  text->Append("one \xE6\xBC");  // a character may not end a piece
  text->Append("\xA2 two");
  ASSERT_EQ(PreparedTextToClipboard(*clipboard_, std::move(text)), ClipboardWrite::Done);
  PlainClipboard plain;
  ASSERT_TRUE(plain.open());
  EXPECT_EQ(ToNul(plain.Get(CF_UNICODETEXT), 2), Utf16Bytes(u"one \u6F22 two\0"s));
}

TEST_F(system_clipboard_test, opening_fails_while_another_program_holds_the_clipboard) {
  std::mutex mutex;
  std::condition_variable changed;
  bool ready = false;
  bool holding = false;
  bool release = false;
  std::thread other([&] {
    PlainClipboard plain;  // a clipboard open on another thread is held, as by another program
    std::unique_lock lock(mutex);
    holding = plain.open();
    ready = true;
    changed.notify_all();
    changed.wait(lock, [&] { return release; });
  });
  {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return ready; });
  }
  EXPECT_TRUE(holding);
  EXPECT_FALSE(clipboard_->Open());
  EXPECT_EQ(StringToClipboard(*clipboard_, "x", -1), ClipboardWrite::Unavailable);
  {
    std::lock_guard lock(mutex);
    release = true;
  }
  changed.notify_all();
  other.join();
  EXPECT_TRUE(clipboard_->Open());
  clipboard_->Close();
}

}  // namespace
}  // namespace kelvane
