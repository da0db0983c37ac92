#include "clipboard/clipboard_transfer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <memory>
#include <new>
#include <string_view>

#include "support/test_support.h"

namespace kelvane {
namespace {

using test::ReadFile;
using test::RecordingMessageBox;
using test::TempDir;

TEST(clipboard_to_string_test, text_up_to_nul_or_the_whole_block) {
  MemoryClipboard clipboard;
  std::string text = "untouched";
  EXPECT_EQ(ClipboardToString(clipboard, text, kTextToFirstNul), 0);
  EXPECT_EQ(text, "untouched");

  clipboard.formats["image/png"] = "png";
  EXPECT_EQ(ClipboardToString(clipboard, text, kTextToFirstNul), 0);
  EXPECT_EQ(text, "untouched");

  clipboard.formats["text/plain"] = std::string("abc\0def", 7);
  EXPECT_EQ(ClipboardToString(clipboard, text, kTextToFirstNul), 3);
  EXPECT_EQ(text, "abc");
  EXPECT_EQ(ClipboardToString(clipboard, text, 0), 8);
  EXPECT_EQ(text, std::string("abc\0def\0", 8));
  EXPECT_EQ(clipboard.openCount, 0);
}

TEST(clipboard_to_string_test, running_out_of_memory_closes_the_clipboard_and_goes_to_the_caller) {
  class HugeTextClipboard : public MemoryClipboard {
   public:
    std::optional<std::string> TextBlock() override { throw std::bad_alloc(); }
  } clipboard;
  std::string text = "untouched";
  EXPECT_THROW(ClipboardToString(clipboard, text, kTextToFirstNul), std::bad_alloc);
  EXPECT_EQ(text, "untouched");
  EXPECT_EQ(clipboard.openCount, 0);
}

TEST(string_to_clipboard_test, empties_first_and_puts_the_given_length) {
  MemoryClipboard clipboard;
  clipboard.formats["image/png"] = "png";
  EXPECT_EQ(StringToClipboard(clipboard, std::string("hello\0x", 7), -1), ClipboardWrite::Done);
  EXPECT_EQ(clipboard.formats, (std::map<std::string, std::string>{{"text/plain", "hello"}}));
  EXPECT_EQ(StringToClipboard(clipboard, "hello", 4), ClipboardWrite::Done);
  EXPECT_EQ(clipboard.formats.at("text/plain"), "hell");

  clipboard.failAllocation = true;
  EXPECT_EQ(StringToClipboard(clipboard, "x", 1), ClipboardWrite::OutOfMemory);
  EXPECT_TRUE(clipboard.formats.empty());
  clipboard.busy = true;
  EXPECT_EQ(StringToClipboard(clipboard, "x", 1), ClipboardWrite::Unavailable);
  EXPECT_EQ(clipboard.openCount, 0);
}

TEST(clipboard_file_test, clipboard_to_file_and_back) {
  TempDir dir;
  MemoryClipboard clipboard;
  RecordingMessageBox messages;
  const std::string path = dir.File("clip.txt");
  test::WriteFile(path, "old contents");
  EXPECT_EQ(ClipboardToFile(clipboard, messages, path, kTextToFirstNul), 0);
  EXPECT_EQ(ReadFile(path), "");  // created (truncated) even without text

  clipboard.formats["text/plain"] = "Grüße\r\n";
  EXPECT_EQ(ClipboardToFile(clipboard, messages, path, kTextToFirstNul), 9);
  EXPECT_EQ(ReadFile(path), "Grüße\r\n");

  test::WriteFile(path, std::string("before\0after", 12));
  clipboard.formats["image/png"] = "png";
  EXPECT_TRUE(FileToClipboard(clipboard, messages, path));
  EXPECT_EQ(clipboard.formats, (std::map<std::string, std::string>{{"text/plain", "before"}}));

  test::WriteFile(path, "");
  EXPECT_TRUE(FileToClipboard(clipboard, messages, path));
  EXPECT_EQ(clipboard.formats.at("text/plain"), "");
  EXPECT_TRUE(messages.shown.empty());
}

TEST(clipboard_file_test, file_errors_are_reported_once_by_the_routine) {
  TempDir dir;
  MemoryClipboard clipboard;
  clipboard.formats["text/plain"] = "keep";
  RecordingMessageBox messages;
  EXPECT_EQ(ClipboardToFile(clipboard, messages, dir.File("no/x.txt"), kTextToFirstNul), -1);
  EXPECT_FALSE(FileToClipboard(clipboard, messages, dir.File("absent.txt")));
  EXPECT_EQ(messages.texts(), (std::vector<std::string>{dir.File("no/x.txt") + " contains an invalid path.",
                                                        dir.File("absent.txt") + " was not found."}));
  EXPECT_EQ(clipboard.formats.at("text/plain"), "keep");

  messages.shown.clear();
  test::WriteFile(dir.File("f.txt"), "x");
  clipboard.busy = true;
  EXPECT_FALSE(FileToClipboard(clipboard, messages, dir.File("f.txt")));
  EXPECT_EQ(messages.texts(),
            std::vector<std::string>{"The clipboard is in use by another program. The results were not put on it."});
}

// Records each piece a text is handed, and whether any ended inside a character.
class PieceClipboard : public MemoryClipboard {
 public:
  class Pieces : public ClipboardText {
   public:
    explicit Pieces(PieceClipboard& owner) : owner_(owner) {}
    void Append(std::string_view bytes) override {
      owner_.pieces.emplace_back(bytes);
      if (owner_.cancelAfter != nullptr && owner_.pieces.size() >= owner_.cancelAfterPieces) {
        *owner_.cancelAfter = true;
      }
    }

   private:
    PieceClipboard& owner_;
  };
  std::unique_ptr<ClipboardText> NewText(std::uint64_t sizeHint) override {
    sizeHints.push_back(sizeHint);
    return std::make_unique<Pieces>(*this);
  }
  std::vector<std::string> pieces;
  std::vector<std::uint64_t> sizeHints;
  std::atomic<bool>* cancelAfter = nullptr;
  size_t cancelAfterPieces = 0;
};

struct PieceCase {
  const char* name;
  std::string file;
  size_t piece;
  std::vector<std::string> pieces;
};

class read_file_for_clipboard_test : public testing::TestWithParam<PieceCase> {};

TEST_P(read_file_for_clipboard_test, pieces_end_on_whole_characters_and_at_the_first_nul) {
  const PieceCase& c = GetParam();
  TempDir dir;
  test::WriteFile(dir.File("f"), c.file);
  PieceClipboard clipboard;
  EXPECT_NE(ReadFileForClipboard(clipboard, dir.File("f"), nullptr, c.piece), nullptr);
  EXPECT_EQ(clipboard.pieces, c.pieces);
  EXPECT_EQ(clipboard.sizeHints, std::vector<std::uint64_t>{c.file.size()});
  EXPECT_TRUE(clipboard.formats.empty());  // not on the clipboard yet
}

INSTANTIATE_TEST_SUITE_P(
    cases, read_file_for_clipboard_test,
    testing::Values(PieceCase{"ascii", "abcdefg", 3, {"abc", "def", "g"}},
                    // "é" is C3 A9, "€" E2 82 AC, "𝄞" F0 9D 84 9E: the start of one cut at the end of a
                    // piece goes ahead of the next piece.
                    PieceCase{"two_bytes_cut",
                              "a\xC3\xA9"
                              "b",
                              2,
                              {"a",
                               "\xC3\xA9"
                               "b"}},
                    PieceCase{"three_bytes_cut",
                              "ab\xE2\x82\xAC"
                              "c",
                              3,
                              {"ab",
                               "\xE2\x82\xAC"
                               "c"}},
                    PieceCase{"four_bytes_cut", "\xF0\x9D\x84\x9E!", 2, {"\xF0\x9D\x84\x9E", "!"}},
                    PieceCase{"a_cut_character_at_the_end_goes_as_it_is", "ab\xE2\x82", 3, {"ab", "\xE2\x82"}},
                    PieceCase{
                        "stray_continuation_bytes_are_not_held", "\x82\x82\x82\x82x", 2, {"\x82\x82", "\x82\x82", "x"}},
                    PieceCase{"nul_ends_the_text", std::string("ab\0cd", 5), 8, {"ab"}},
                    PieceCase{"nul_in_a_later_piece", std::string("abc\0de", 6), 2, {"ab", "c"}},
                    PieceCase{"empty_file", "", 4, {}}),
    [](const testing::TestParamInfo<PieceCase>& param) { return param.param.name; });

TEST(read_file_for_clipboard_cancel_test, a_cancel_gives_nothing_and_leaves_the_clipboard) {
  TempDir dir;
  test::WriteFile(dir.File("f"), "abcdefgh");
  PieceClipboard clipboard;
  clipboard.formats["text/plain"] = "before";
  std::atomic<bool> cancel = false;
  clipboard.cancelAfter = &cancel;
  clipboard.cancelAfterPieces = 2;
  EXPECT_EQ(ReadFileForClipboard(clipboard, dir.File("f"), &cancel, 2), nullptr);
  EXPECT_EQ(clipboard.pieces.size(), size_t{2});  // stopped at the next piece
  clipboard.pieces.clear();
  // Cancelled during the last piece: still nothing.
  cancel = false;
  clipboard.cancelAfterPieces = 1;
  EXPECT_EQ(ReadFileForClipboard(clipboard, dir.File("f"), &cancel, 64), nullptr);
  EXPECT_EQ(clipboard.formats.at("text/plain"), "before");
}

TEST(prepared_text_test, goes_on_the_clipboard_like_a_string) {
  TempDir dir;
  test::WriteFile(dir.File("f"),
                  "Gr\xC3\xBC\xC3\x9F"
                  "e\r\n");
  MemoryClipboard clipboard;
  clipboard.formats["image/png"] = "png";
  auto text = ReadFileForClipboard(clipboard, dir.File("f"), nullptr, 3);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(PreparedTextToClipboard(clipboard, std::move(text)), ClipboardWrite::Done);
  EXPECT_EQ(clipboard.formats, (std::map<std::string, std::string>{{"text/plain",
                                                                    "Gr\xC3\xBC\xC3\x9F"
                                                                    "e\r\n"}}));
  clipboard.busy = true;
  EXPECT_EQ(PreparedTextToClipboard(clipboard, ReadFileForClipboard(clipboard, dir.File("f"))),
            ClipboardWrite::Unavailable);
  EXPECT_EQ(clipboard.openCount, 0);
}

}  // namespace
}  // namespace kelvane
