#include "clipboard/clipboard_transfer.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace kelvane
