// The Win32 back end's window as the dialogs' logic meets it: template 102 made by the system's
// dialog manager, its list view, the fields' texts and focus, the icon, the link's field. The
// windows show nowhere (Wine's null display); where no window can be made, those tests skip.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/wide.h"
#include "res/resource.h"
#include "ui/data_exchange.h"
#include "ui/win32/dpi.h"
#include "ui/win32/win32_dialog_window.h"
#include "ui/win32/win32_link_window.h"
#include "ui_win32/template_window.h"

namespace kelvane {
namespace {

TEST(win32_backend_test, multi_line_text_gets_cr_lf_only_where_a_lone_lf_stood) {
  const struct {
    const char* given;
    const char* shown;
  } cases[] = {
      {"", ""},
      {"one line", "one line"},
      {"a\nb", "a\r\nb"},
      {"a\r\nb", "a\r\nb"},
      {"\n", "\r\n"},
      {"\n\n", "\r\n\r\n"},
      {"a\r\n\nb\n", "a\r\n\r\nb\r\n"},
      {"a\rb", "a\rb"},          // a lone CR is the user's own byte
      {"a\r\r\nb", "a\r\r\nb"},  // so is a CR before CR LF
      {"Gr\xC3\xBC\xC3\x9F"
       "e\n\xE2\x82\xAC",
       "Gr\xC3\xBC\xC3\x9F"
       "e\r\n\xE2\x82\xAC"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ToWindowsLineBreaks(c.given), c.shown) << c.given;
  }
}

TEST(win32_backend_test, list_column_is_the_outer_width_less_a_scroll_bar) {
  EXPECT_EQ(ListColumnWidth(281, 17), 264);
  EXPECT_EQ(ListColumnWidth(17, 17), 0);
  EXPECT_EQ(ListColumnWidth(5, 17), 0);  // never a negative width
}

TEST(win32_backend_test, link_counts_its_left_and_top_edges_inside_and_the_others_outside) {
  const RECT client{0, 0, 80, 12};
  const struct {
    POINT point;
    bool inside;
  } cases[] = {{{0, 0}, true},    {{79, 11}, true}, {{40, 6}, true},   {{80, 6}, false},
               {{40, 12}, false}, {{-1, 6}, false}, {{40, -1}, false}, {{80, 12}, false}};
  for (const auto& c : cases) {
    EXPECT_EQ(InsideClient(client, c.point), c.inside) << c.point.x << "," << c.point.y;
  }
}

TEST_F(MainTemplateWindow, list_is_a_report_view_with_one_column_as_wide_as_the_list_less_a_scroll_bar) {
  window_->SetUpList(IDC_VARIABLE_LIST, "Variables");
  HWND list = Item(IDC_VARIABLE_LIST);
  EXPECT_EQ(ListView_GetExtendedListViewStyle(list) & 0x31, 0x31U);
  EXPECT_EQ(GetWindowLongPtrW(list, GWL_STYLE) & LVS_TYPEMASK, LVS_REPORT);
  EXPECT_EQ(Header_GetItemCount(ListView_GetHeader(list)), 1);
  RECT outer{};
  GetWindowRect(list, &outer);
  EXPECT_EQ(ListView_GetColumnWidth(list, 0), outer.right - outer.left - SystemMetricForWindow(SM_CXVSCROLL, list));
  wchar_t heading[32] = {};
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_FMT;
  column.pszText = heading;
  column.cchTextMax = 32;
  ASSERT_TRUE(ListView_GetColumn(list, 0, &column));
  EXPECT_STREQ(heading, L"Variables");
  EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_LEFT);
}

TEST_F(MainTemplateWindow, rows_keep_their_order_and_a_delete_leaves_none_selected) {
  window_->SetUpList(IDC_VARIABLE_LIST, "Variables");
  EXPECT_EQ(window_->SelectedListRow(IDC_VARIABLE_LIST), -1);
  for (const char* tag : {"%%a%%", "%%b%%", "%%c%%"}) {
    window_->InsertListRow(IDC_VARIABLE_LIST, window_->ListRowCount(IDC_VARIABLE_LIST), tag);
  }
  window_->SetListRowText(IDC_VARIABLE_LIST, 0, "%%\xC3\xA9t\xC3\xA9%%");
  HWND list = Item(IDC_VARIABLE_LIST);
  ListView_SetItemState(list, 2, LVIS_SELECTED, LVIS_SELECTED);
  EXPECT_EQ(window_->SelectedListRow(IDC_VARIABLE_LIST), 2);
  window_->DeleteListRow(IDC_VARIABLE_LIST, 1);
  EXPECT_EQ(window_->ListRowCount(IDC_VARIABLE_LIST), 2);
  EXPECT_EQ(window_->SelectedListRow(IDC_VARIABLE_LIST), -1);
  wchar_t text[32] = {};
  ListView_GetItemText(list, 0, 0, text, 32);
  EXPECT_STREQ(text, L"%%\u00e9t\u00e9%%");
  ListView_GetItemText(list, 1, 0, text, 32);
  EXPECT_STREQ(text, L"%%c%%");
}

TEST_F(MainTemplateWindow, multi_line_fields_show_lone_lf_as_line_breaks_and_others_keep_the_text) {
  window_->SetDlgItemText(IDC_BLOCK_TEXT, "Dear %%n%%,\nbye\n");
  EXPECT_EQ(RawText(IDC_BLOCK_TEXT), L"Dear %%n%%,\r\nbye\r\n");
  EXPECT_EQ(window_->GetDlgItemText(IDC_BLOCK_TEXT), "Dear %%n%%,\r\nbye\r\n");
  window_->SetDlgItemText(IDC_OUTPUT_FILE, "C:\\out\\r\xC3\xA9sultat.txt");
  EXPECT_EQ(RawText(IDC_OUTPUT_FILE), L"C:\\out\\r\u00e9sultat.txt");
  EXPECT_EQ(window_->GetDlgItemText(IDC_OUTPUT_FILE), "C:\\out\\r\xC3\xA9sultat.txt");
  EXPECT_EQ(window_->GetDlgItemText(4242), "");
}

TEST_F(MainTemplateWindow, check_box_and_focus_with_the_whole_field_selected) {
  window_->CheckDlgButton(IDC_APPEND, true);
  EXPECT_TRUE(window_->IsDlgButtonChecked(IDC_APPEND));
  EXPECT_EQ(::IsDlgButtonChecked(hwnd_, IDC_APPEND), BST_CHECKED);
  window_->CheckDlgButton(IDC_APPEND, false);
  EXPECT_FALSE(window_->IsDlgButtonChecked(IDC_APPEND));

  window_->SetDlgItemText(IDC_REPEAT_COUNT, "12a");
  window_->GotoDlgCtrl(IDC_REPEAT_COUNT);
  EXPECT_EQ(GetFocus(), Item(IDC_REPEAT_COUNT));
  DWORD start = 0;
  DWORD end = 0;
  SendMessageW(Item(IDC_REPEAT_COUNT), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0U);
  EXPECT_EQ(end, 3U);
  window_->GotoDlgCtrl(IDC_APPEND);
  EXPECT_EQ(GetFocus(), Item(IDC_APPEND));
}

TEST_F(MainTemplateWindow, program_icon_is_the_large_and_small_icon_at_the_system_sizes) {
  window_->SetProgramIcon();
  const auto large = reinterpret_cast<HICON>(SendMessageW(hwnd_, WM_GETICON, ICON_BIG, 0));
  const auto small = reinterpret_cast<HICON>(SendMessageW(hwnd_, WM_GETICON, ICON_SMALL, 0));
  ASSERT_NE(large, nullptr);
  ASSERT_NE(small, nullptr);
  EXPECT_EQ(large, window_->icon());
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(large, &info));
  BITMAP bitmap{};
  GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
  EXPECT_EQ(bitmap.bmWidth, GetSystemMetrics(SM_CXICON));
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
}

TEST_F(MainTemplateWindow, link_field_grows_to_the_right_only) {
  LinkWindow* link = window_->LinkControl(IDC_LINK);
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(window_->LinkControl(IDC_LINK), link);  // one window per field
  EXPECT_EQ(window_->LinkControl(4242), nullptr);
  EXPECT_TRUE(link->HasParent());
  const int shortWidth = link->MeasureTextWidth("www");
  const int longWidth = link->MeasureTextWidth("www.orvalle.example");
  EXPECT_GT(shortWidth, 0);
  EXPECT_GT(longWidth, shortWidth);
  EXPECT_EQ(link->MeasureTextWidth(""), 0);

  RECT before{};
  GetWindowRect(Item(IDC_LINK), &before);
  link->SetWidth(longWidth);
  RECT after{};
  GetWindowRect(Item(IDC_LINK), &after);
  EXPECT_EQ(link->Width(), longWidth);
  EXPECT_EQ(after.left, before.left);
  EXPECT_EQ(after.top, before.top);
  EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);

  POINT origin{0, 0};
  ClientToScreen(Item(IDC_LINK), &origin);
  EXPECT_EQ(link->ClientToScreen({5, 5}), (ScreenPoint{origin.x + 5, origin.y + 5}));
}

}  // namespace
}  // namespace kelvane
