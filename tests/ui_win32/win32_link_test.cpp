// The link in the dialog's real edit control 154: the messages Windows sends it reach CHyperLink
// through the subclass, and it paints the link's colours, underline and background with GDI.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/clipboard.h"
#include "res/resource.h"
#include "support/service_fakes.h"
#include "ui/hyperlink.h"
#include "ui/win32/win32_link_window.h"
#include "ui_win32/template_window.h"

namespace kelvane {
namespace {

constexpr const char* kUrl = "https://www.orvalle.example/";

class LinkInDialog : public MainTemplateWindow {
 protected:
  void SetUp() override {
    MainTemplateWindow::SetUp();
    if (IsSkipped()) {
      return;
    }
    field_ = Item(IDC_LINK);
    link_.SubclassWindow(window_->LinkControl(IDC_LINK));
    link_.SetLink(kUrl, "www.orvalle.example", true);
    link_.SetShadow(false);
  }
  void TearDown() override {
    ReleaseCapture();
    link_.SubclassWindow(nullptr);
    MainTemplateWindow::TearDown();
  }

  void MoveTo(int x, int y) { SendMessageW(field_, WM_MOUSEMOVE, 0, MAKELPARAM(x, y)); }
  [[nodiscard]] int FieldWidth() const {
    RECT client{};
    GetClientRect(field_, &client);
    return client.right;
  }
  // Runs what has been posted to this thread.
  static void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != 0) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  // How many pixels of the field's picture have exactly this colour, and how many in all.
  struct Census {
    int matching = 0;
    int all = 0;
  };
  [[nodiscard]] Census Count(COLORREF colour) const {
    RECT client{};
    GetClientRect(field_, &client);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), client.right, -client.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    SendMessageW(field_, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT | PRF_ERASEBKGND);
    GdiFlush();
    Census census;
    const auto* pixels = static_cast<const DWORD*>(bits);
    const DWORD wanted = ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);  // BGRA
    for (int i = 0; i < client.right * client.bottom; ++i) {
      census.matching += (pixels[i] & 0xFFFFFF) == wanted ? 1 : 0;
      ++census.all;
    }
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return census;
  }

  test::FakeUrlOpener urls_;
  MemoryClipboard clipboard_;
  CHyperLink link_{urls_, clipboard_, {}};
  HWND field_ = nullptr;
};

TEST_F(LinkInDialog, field_is_as_wide_as_the_text_in_the_font_it_is_drawn_in) {
  EXPECT_EQ(RawText(IDC_LINK), L"www.orvalle.example");
  EXPECT_EQ(FieldWidth(), window_->LinkControl(IDC_LINK)->MeasureTextWidth("www.orvalle.example"));
}

TEST_F(LinkInDialog, hover_captures_the_pointer_and_leaving_by_the_right_edge_releases_it) {
  MoveTo(0, 0);
  EXPECT_EQ(link_.state(), 2);
  EXPECT_EQ(GetCapture(), field_);
  MoveTo(FieldWidth() - 1, 1);
  EXPECT_EQ(link_.state(), 2);
  MoveTo(FieldWidth(), 1);  // the right edge lies outside
  EXPECT_EQ(link_.state(), 0);
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(LinkInDialog, cursor_is_the_programs_hand_and_the_message_counts_as_handled) {
  const LRESULT handled =
      SendMessageW(field_, WM_SETCURSOR, reinterpret_cast<WPARAM>(field_), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(handled, TRUE);
  EXPECT_EQ(GetCursor(), LoadCursorW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDC_HAND_CURSOR)));
}

TEST_F(LinkInDialog, a_click_opens_the_url_once_the_press_has_been_handled_and_keeps_the_focus_away) {
  SetFocus(Item(IDC_BLOCK_TEXT));
  SendMessageW(field_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  EXPECT_TRUE(urls_.opened.empty());  // posted, not run inside the press
  EXPECT_NE(GetFocus(), field_);      // the edit control's own press did not run
  Pump();
  EXPECT_EQ(urls_.opened, std::vector<std::string>{kUrl});
  EXPECT_TRUE(link_.visited());
}

TEST_F(LinkInDialog, menu_commands_sent_to_the_field_reach_the_link) {
  SendMessageW(field_, WM_COMMAND, MAKEWPARAM(ID_LINK_COPY_SHORTCUT, 0), 0);
  EXPECT_EQ(clipboard_.formats["text/plain"], kUrl);
  EXPECT_EQ(clipboard_.openCount, 0);
}

TEST_F(LinkInDialog, paints_each_state_in_its_colour_on_the_button_face) {
  const struct {
    int state;
    COLORREF colour;
  } states[] = {{0, 0x00EE0000}, {2, 0x000000FF}, {1, 0x008B1A55}};
  for (const auto& s : states) {
    if (s.state == 2) {
      MoveTo(1, 1);
    } else if (s.state == 1) {
      MoveTo(FieldWidth() + 5, 1);
      SendMessageW(field_, WM_COMMAND, MAKEWPARAM(ID_LINK_OPEN, 0), 0);
    }
    ASSERT_EQ(link_.state(), s.state);
    const Census text = Count(s.colour);
    const Census face = Count(GetSysColor(COLOR_BTNFACE));
    // The underline alone is a line of the text's colour as wide as the text.
    EXPECT_GE(text.matching, FieldWidth() - 2) << s.state;
    EXPECT_GT(face.matching, face.all / 2) << s.state;
  }
}

TEST_F(LinkInDialog, hovering_with_the_shadow_on_draws_the_shadow_and_no_fill) {
  link_.SetShadow(true);
  MoveTo(1, 1);
  ASSERT_TRUE(link_.DrawsShadow());
  EXPECT_GT(Count(GetSysColor(COLOR_BTNSHADOW)).matching, 0);
  EXPECT_EQ(Count(GetSysColor(COLOR_BTNFACE)).matching, 0);  // the bitmap starts black: nothing filled it
}

TEST_F(LinkInDialog, handing_the_field_back_restores_the_edit_controls_own_handling) {
  link_.SubclassWindow(nullptr);
  MoveTo(1, 1);
  EXPECT_EQ(link_.state(), 0);
  EXPECT_EQ(GetCapture(), nullptr);
}

}  // namespace
}  // namespace kelvane
