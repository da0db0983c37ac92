// The link's states, commands and what it asks of its window, against a fake window: no display.
#include "ui/hyperlink.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/clipboard.h"
#include "res/resource.h"
#include "support/named_cases.h"
#include "support/service_fakes.h"
#include "support/test_support.h"

namespace kelvane {
namespace {

using test::CaseName;
using test::PrintTo;

constexpr COLORREF kBlue = 0x00EE0000;
constexpr COLORREF kPurple = 0x008B1A55;
constexpr COLORREF kRed = 0x000000FF;
const std::string kUrl = "https://www.orvalle.example/";

// Records what the link asks of its window; its menu answers with menuAnswer.
class FakeLinkWindow : public LinkWindow {
 public:
  struct Menu {
    int menuId = 0;
    ScreenPoint at;
    std::optional<LinkCursor> cursor;
    COLORREF color = 0;
    bool menuShowing = false;
  };

  void RouteEventsTo(CHyperLink* to) override { link = to; }
  void SetWindowText(std::string_view to) override { text = to; }
  [[nodiscard]] bool HasParent() const override { return hasParent; }
  // Seven pixels a character, as a fixed-width font would give.
  [[nodiscard]] int MeasureTextWidth(std::string_view measured) const override {
    return 7 * static_cast<int>(measured.size());
  }
  [[nodiscard]] int Width() const override { return width; }
  void SetWidth(int to) override {
    width = to;
    widthsSet.push_back(to);
  }
  void Invalidate() override { ++invalidated; }
  void UpdateWindow() override { ++updated; }
  void SetCapture() override {
    captured = true;
    ++captures;
  }
  void ReleaseCapture() override { captured = false; }
  void SetCursor(LinkCursor to) override { cursor = to; }
  void PostCommand(int id) override { posted.push_back(id); }
  [[nodiscard]] ScreenPoint ClientToScreen(ScreenPoint point) const override {
    return {origin.x + point.x, origin.y + point.y};
  }
  int TrackPopupMenu(int menuId, ScreenPoint at) override {
    menus.push_back(
        {menuId, at, cursor, link != nullptr ? link->TextColor() : 0, link != nullptr && link->menuShowing()});
    if (whileTracking) {
      whileTracking();
    }
    return menuAnswer;
  }

  // Delivers the posted commands, as the window's event loop would.
  void RunPosted() {
    const std::vector<int> ids = std::exchange(posted, {});
    for (const int id : ids) {
      if (link != nullptr) {
        link->OnCommand(id);
      }
    }
  }

  CHyperLink* link = nullptr;
  std::string text;
  bool hasParent = true;
  int width = 100;
  std::vector<int> widthsSet;
  int invalidated = 0;
  int updated = 0;
  bool captured = false;
  int captures = 0;
  std::optional<LinkCursor> cursor;
  std::vector<int> posted;
  ScreenPoint origin{300, 400};
  std::vector<Menu> menus;
  int menuAnswer = 0;
  std::function<void()> whileTracking;
};

// A link in its window, with fakes and temporary folders behind it.
struct LinkFixture {
  test::FakeUrlOpener urls;
  MemoryClipboard clipboard;
  test::TempDir favorites;
  test::TempDir desktop;
  FakeLinkWindow window;
  std::unique_ptr<CHyperLink> link = std::make_unique<CHyperLink>(
      urls, clipboard, ShortcutFolders{[this] { return favorites.path(); }, [this] { return desktop.path(); }});

  LinkFixture() {
    link->SubclassWindow(&window);
    link->SetLink(kUrl, "www.orvalle.example", false);
  }
  void Open(bool works) {
    urls.works = works;
    link->OnOpen();
  }
};

TEST(hyperlink_test, subclassing_routes_the_windows_events_to_the_link_until_handed_back) {
  LinkFixture f;
  EXPECT_EQ(f.window.link, f.link.get());
  EXPECT_EQ(f.link->window(), &f.window);
  FakeLinkWindow other;
  f.link->SubclassWindow(&other);
  EXPECT_EQ(f.window.link, nullptr);
  EXPECT_EQ(other.link, f.link.get());
  f.link.reset();
  EXPECT_EQ(other.link, nullptr);
}

// Where a case starts from.
enum class Start { Unvisited, Visited, HoverFromUnvisited, HoverFromVisited, AfterClickOpen };
// What happens then.
enum class Event { Enter, MoveOutside, Leave, KeyboardMenu, OpenSucceeds, OpenFails };

struct StateCase {
  const char* name;
  Start start;
  Event event;
  int state;
  COLORREF color;
  int repaints;
  bool captured;
  int captures;  // SetCapture() calls the event made
  bool visited;
};

void Reach(LinkFixture& f, Start start) {
  switch (start) {
    case Start::Unvisited: break;
    case Start::Visited: f.Open(true); break;
    case Start::HoverFromUnvisited: f.link->OnMouseMove(true); break;
    case Start::HoverFromVisited:
      f.Open(true);
      f.link->OnMouseMove(true);
      break;
    case Start::AfterClickOpen:
      f.link->OnMouseMove(true);
      f.link->OnLButtonDown();
      f.window.RunPosted();
      break;
  }
}

void Happen(LinkFixture& f, Event event) {
  switch (event) {
    case Event::Enter: f.link->OnMouseMove(true); break;
    case Event::MoveOutside: f.link->OnMouseMove(false); break;
    case Event::Leave: f.link->OnMouseLeave(); break;
    case Event::KeyboardMenu: f.link->OnContextMenu(std::nullopt); break;
    case Event::OpenSucceeds: f.Open(true); break;
    case Event::OpenFails: f.Open(false); break;
  }
}

class hyperlink_state_test : public testing::TestWithParam<StateCase> {};

TEST_P(hyperlink_state_test, follows_the_state_table) {
  const StateCase& c = GetParam();
  LinkFixture f;
  Reach(f, c.start);
  const int invalidatedBefore = f.window.invalidated;
  const int capturesBefore = f.window.captures;
  Happen(f, c.event);
  EXPECT_EQ(f.link->state(), c.state);
  EXPECT_EQ(f.link->TextColor(), c.color);
  EXPECT_EQ(f.window.invalidated - invalidatedBefore, c.repaints);
  EXPECT_EQ(f.window.captured, c.captured);
  EXPECT_EQ(f.window.captures - capturesBefore, c.captures);
  EXPECT_EQ(f.link->visited(), c.visited);
}

INSTANTIATE_TEST_SUITE_P(
    table, hyperlink_state_test,
    testing::Values(
        StateCase{"unvisited_enter_hovers", Start::Unvisited, Event::Enter, 2, kRed, 1, true, 1, false},
        StateCase{"visited_enter_hovers", Start::Visited, Event::Enter, 2, kRed, 1, true, 1, true},
        StateCase{"hovering_moves_inside_quietly", Start::HoverFromUnvisited, Event::Enter, 2, kRed, 0, true, 0, false},
        StateCase{"hover_ends_outside_unvisited", Start::HoverFromUnvisited, Event::MoveOutside, 0, kBlue, 1, false, 0,
                  false},
        StateCase{"hover_ends_outside_visited", Start::HoverFromVisited, Event::MoveOutside, 1, kPurple, 1, false, 0,
                  true},
        StateCase{"leaving_ends_hover", Start::HoverFromVisited, Event::Leave, 1, kPurple, 1, false, 0, true},
        StateCase{"outside_without_hover_does_nothing", Start::Unvisited, Event::MoveOutside, 0, kBlue, 0, false, 0,
                  false},
        StateCase{"menu_ends_hover_unvisited", Start::HoverFromUnvisited, Event::KeyboardMenu, 0, kBlue, 1, false, 0,
                  false},
        StateCase{"menu_ends_hover_visited", Start::HoverFromVisited, Event::KeyboardMenu, 1, kPurple, 1, false, 0,
                  true},
        StateCase{"menu_without_hover_repaints_nothing", Start::Visited, Event::KeyboardMenu, 1, kPurple, 0, false, 0,
                  true},
        StateCase{"open_visits_unvisited", Start::Unvisited, Event::OpenSucceeds, 1, kPurple, 0, false, 0, true},
        StateCase{"open_keeps_visited", Start::Visited, Event::OpenSucceeds, 1, kPurple, 0, false, 0, true},
        StateCase{"open_while_hovering_visits_unrepainted", Start::HoverFromUnvisited, Event::OpenSucceeds, 1, kPurple,
                  0, true, 0, true},
        StateCase{"failed_open_unvisited", Start::Unvisited, Event::OpenFails, 0, kBlue, 0, false, 0, false},
        StateCase{"failed_open_visited", Start::Visited, Event::OpenFails, 1, kPurple, 0, false, 0, true},
        StateCase{"failed_open_hovering", Start::HoverFromUnvisited, Event::OpenFails, 2, kRed, 0, true, 0, false},
        // A click's open leaves the hover colour on screen and the capture held: leaving mends both.
        StateCase{"after_click_moving_out_releases", Start::AfterClickOpen, Event::MoveOutside, 1, kPurple, 1, false, 0,
                  true},
        StateCase{"after_click_leaving_releases", Start::AfterClickOpen, Event::Leave, 1, kPurple, 1, false, 0, true},
        StateCase{"after_click_reentering_hovers", Start::AfterClickOpen, Event::Enter, 2, kRed, 1, true, 1, true}),
    CaseName<StateCase>);

TEST(hyperlink_test, a_click_posts_open_and_opens_only_once_the_command_arrives) {
  LinkFixture f;
  f.link->OnLButtonDown();
  EXPECT_EQ(f.window.posted, std::vector<int>{ID_LINK_OPEN});
  EXPECT_TRUE(f.urls.opened.empty());
  f.window.RunPosted();
  EXPECT_EQ(f.urls.opened, std::vector<std::string>{kUrl});
}

TEST(hyperlink_test, an_answer_that_comes_later_decides_and_one_after_the_link_is_gone_is_dropped) {
  LinkFixture f;
  f.urls.deferred = true;
  f.link->OnOpen();
  EXPECT_EQ(f.link->state(), 0);  // nothing is known yet
  f.urls.Reply(false);
  EXPECT_EQ(f.link->state(), 0);
  f.link->OnOpen();
  f.urls.Reply(true);
  EXPECT_EQ(f.link->state(), 1);
  f.link->OnOpen();
  f.link.reset();
  f.urls.Reply(true);  // must not touch the link
  EXPECT_TRUE(f.urls.pending.empty());
}

TEST(hyperlink_test, the_cursor_is_the_hand_and_the_arrow_while_the_menu_shows) {
  LinkFixture f;
  f.link->OnSetCursor();
  EXPECT_EQ(f.window.cursor, LinkCursor::Hand);
  f.link->OnMouseMove(true);
  f.link->OnContextMenu(ScreenPoint{10, 20});
  ASSERT_EQ(f.window.menus.size(), size_t{1});
  EXPECT_EQ(f.window.menus[0].cursor, LinkCursor::Arrow);
  EXPECT_TRUE(f.window.menus[0].menuShowing);
  // The hover colour was taken back before the menu showed.
  EXPECT_EQ(f.window.menus[0].color, kBlue);
  EXPECT_EQ(f.window.cursor, LinkCursor::Hand);
  EXPECT_FALSE(f.link->menuShowing());
  f.link->OnSetCursor();
  EXPECT_EQ(f.window.cursor, LinkCursor::Hand);
}

struct MenuPlaceCase {
  const char* name;
  std::optional<ScreenPoint> asked;
  ScreenPoint shown;
};

class hyperlink_menu_place_test : public testing::TestWithParam<MenuPlaceCase> {};

TEST_P(hyperlink_menu_place_test, opens_menu_103_where_asked) {
  LinkFixture f;
  f.link->OnContextMenu(GetParam().asked);
  ASSERT_EQ(f.window.menus.size(), size_t{1});
  EXPECT_EQ(f.window.menus[0].menuId, IDR_LINK_MENU);
  EXPECT_EQ(f.window.menus[0].at, GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(table, hyperlink_menu_place_test,
                         testing::Values(MenuPlaceCase{"keyboard_at_client_plus_5", std::nullopt, {305, 405}},
                                         MenuPlaceCase{"pointer_where_it_is", ScreenPoint{17, 23}, {17, 23}}),
                         CaseName<MenuPlaceCase>);

struct MenuCommandCase {
  const char* name;
  int answer;
  std::vector<std::string> effects;
};

class hyperlink_menu_command_test : public testing::TestWithParam<MenuCommandCase> {};

TEST_P(hyperlink_menu_command_test, runs_the_chosen_item) {
  LinkFixture f;
  f.window.menuAnswer = GetParam().answer;
  f.link->OnContextMenu(std::nullopt);
  std::vector<std::string> effects;
  if (!f.urls.opened.empty()) effects.emplace_back("opened");
  if (f.clipboard.formats.count("text/plain") != 0) effects.emplace_back("copied");
  if (!test::ListDir(f.favorites.path()).empty()) effects.emplace_back("favorites");
  if (!test::ListDir(f.desktop.path()).empty()) effects.emplace_back("desktop");
  EXPECT_EQ(effects, GetParam().effects);
}

INSTANTIATE_TEST_SUITE_P(table, hyperlink_menu_command_test,
                         testing::Values(MenuCommandCase{"open", ID_LINK_OPEN, {"opened"}},
                                         MenuCommandCase{"copy_shortcut", ID_LINK_COPY_SHORTCUT, {"copied"}},
                                         MenuCommandCase{"add_to_favorites", ID_LINK_ADD_TO_FAVORITES, {"favorites"}},
                                         MenuCommandCase{"add_to_desktop", ID_LINK_ADD_TO_DESKTOP, {"desktop"}},
                                         MenuCommandCase{"none_chosen", 0, {}}),
                         CaseName<MenuCommandCase>);

TEST(hyperlink_test, a_link_gone_while_its_menu_shows_runs_nothing) {
  LinkFixture f;
  f.window.menuAnswer = ID_LINK_OPEN;
  f.window.whileTracking = [&f] { f.link.reset(); };
  FakeLinkWindow& window = f.window;
  window.link->OnContextMenu(std::nullopt);
  EXPECT_TRUE(f.urls.opened.empty());
}

struct SizeCase {
  const char* name;
  bool hasParent;
  bool autoSize;
  int widthBefore;
  std::string text;
  std::vector<int> widthsSet;
};

class hyperlink_size_test : public testing::TestWithParam<SizeCase> {};

TEST_P(hyperlink_size_test, sizes_the_window_to_the_text_only_when_asked_and_needed) {
  const SizeCase& c = GetParam();
  LinkFixture f;
  f.window.hasParent = c.hasParent;
  f.window.width = c.widthBefore;
  f.window.widthsSet.clear();
  f.link->SetLink(kUrl, c.text, c.autoSize);
  EXPECT_EQ(f.window.widthsSet, c.widthsSet);
  EXPECT_EQ(f.window.text, c.text);
  EXPECT_EQ(f.link->linkText(), c.text);
}

INSTANTIATE_TEST_SUITE_P(table, hyperlink_size_test,
                         testing::Values(SizeCase{"grows", true, true, 10, "Orvalle", {49}},
                                         SizeCase{"shrinks", true, true, 100, "Go", {14}},
                                         SizeCase{"same_width_untouched", true, true, 49, "Orvalle", {}},
                                         SizeCase{"empty_text_zero_width", true, true, 100, "", {0}},
                                         SizeCase{"no_parent_no_size", false, true, 100, "Orvalle", {}},
                                         SizeCase{"auto_size_off", true, false, 100, "Orvalle", {}}),
                         CaseName<SizeCase>);

TEST(hyperlink_test, a_new_url_alone_changes_nothing_drawn_but_is_what_opens) {
  LinkFixture f;
  f.link->SetLink(kUrl, "Orvalle", true);
  const FakeLinkWindow before = f.window;
  f.link->SetLinkURL("https://elsewhere.example/");
  EXPECT_EQ(f.window.text, before.text);
  EXPECT_EQ(f.window.widthsSet, before.widthsSet);
  EXPECT_EQ(f.window.invalidated, before.invalidated);
  EXPECT_EQ(f.window.updated, before.updated);
  EXPECT_EQ(f.link->linkText(), "Orvalle");
  f.link->OnOpen();
  EXPECT_EQ(f.urls.opened, std::vector<std::string>{"https://elsewhere.example/"});
}

struct ShadowCase {
  const char* name;
  bool shadow;
  bool hover;
  bool drawsShadow;
};

class hyperlink_shadow_test : public testing::TestWithParam<ShadowCase> {};

TEST_P(hyperlink_shadow_test, draws_the_shadow_only_while_hovering_with_it_on) {
  LinkFixture f;
  f.link->SetShadow(GetParam().shadow);
  // Pending repaints are done, none is asked for.
  EXPECT_EQ(f.window.updated, 1);
  EXPECT_EQ(f.window.invalidated, 0);
  f.link->OnMouseMove(GetParam().hover);
  EXPECT_EQ(f.link->DrawsShadow(), GetParam().drawsShadow);
  EXPECT_TRUE(f.link->underline());
}

INSTANTIATE_TEST_SUITE_P(table, hyperlink_shadow_test,
                         testing::Values(ShadowCase{"off_resting", false, false, false},
                                         ShadowCase{"off_hovering", false, true, false},
                                         ShadowCase{"on_resting", true, false, false},
                                         ShadowCase{"on_hovering", true, true, true}),
                         CaseName<ShadowCase>);

struct CopyCase {
  const char* name;
  bool busy;
  bool noMemory;
  std::string text;
};

class hyperlink_copy_test : public testing::TestWithParam<CopyCase> {};

TEST_P(hyperlink_copy_test, copy_shortcut_replaces_only_the_text) {
  LinkFixture f;
  f.clipboard.formats = {{"text/plain", "old text"}, {"text/html", "<b>kept</b>"}};
  f.clipboard.busy = GetParam().busy;
  f.clipboard.failAllocation = GetParam().noMemory;
  f.link->OnCopyShortcut();
  EXPECT_EQ(f.clipboard.formats.at("text/plain"), GetParam().text);
  EXPECT_EQ(f.clipboard.formats.at("text/html"), "<b>kept</b>");
  EXPECT_EQ(f.clipboard.openCount, 0);
}

INSTANTIATE_TEST_SUITE_P(table, hyperlink_copy_test,
                         testing::Values(CopyCase{"copied", false, false, kUrl},
                                         CopyCase{"clipboard_held_elsewhere", true, false, "old text"},
                                         CopyCase{"out_of_memory", false, true, "old text"}),
                         CaseName<CopyCase>);

struct NameCase {
  const char* name;
  std::string text;
  std::string file;  // empty: the system cannot have such a file name, and nothing is written
};

class hyperlink_shortcut_test : public testing::TestWithParam<NameCase> {};

TEST_P(hyperlink_shortcut_test, shortcuts_are_named_after_the_display_text) {
  const NameCase& c = GetParam();
  LinkFixture f;
  const std::string url = "https://www.orvalle.example/?from=kelvane";
  f.link->SetLink(url, c.text, false);
  f.link->OnAddToFavorites();
  const std::vector<std::string> expected = c.file.empty() ? std::vector<std::string>{} : std::vector{c.file};
  EXPECT_EQ(test::ListDir(f.favorites.path()), expected);
  EXPECT_TRUE(test::ListDir(f.desktop.path()).empty());
  f.link->OnAddToDesktop();
  EXPECT_EQ(test::ListDir(f.desktop.path()), expected);
  if (!c.file.empty()) {
    const std::string bytes = "[InternetShortcut]\r\nURL=" + url + "\r\n";
    EXPECT_EQ(test::ReadFile(f.favorites.File(c.file)), bytes);
    EXPECT_EQ(test::ReadFile(f.desktop.File(c.file)), bytes);
  }
}

#ifdef _WIN32
// Windows file names hold neither '\' nor ':'.
const std::string kBackslashName;
const std::string kPortName;
#else
const std::string kBackslashName = "\\Links\\Orvalle.URL";
const std::string kPortName = "www.orvalle.example:8080.URL";
#endif

INSTANTIATE_TEST_SUITE_P(
    table, hyperlink_shortcut_test,
    testing::Values(NameCase{"host_name", "https://www.orvalle.example", "www.orvalle.example.URL"},
                    NameCase{"trailing_slash", "https://www.orvalle.example/", ".URL"},
                    NameCase{"colon_then_backslash", "C:\\Links\\Orvalle", kBackslashName},
                    NameCase{"no_separator", "Orvalle Software", "Orvalle Software.URL"},
                    NameCase{"slash_before_a_ports_colon", "http://www.orvalle.example:8080", kPortName}),
    CaseName<NameCase>);

TEST(hyperlink_test, a_shortcut_with_no_folder_to_go_to_writes_nothing) {
  test::FakeUrlOpener urls;
  MemoryClipboard clipboard;
  CHyperLink link(urls, clipboard, {});
  link.SetLink(kUrl, "Orvalle", false);
  EXPECT_NO_THROW(link.OnAddToFavorites());
  EXPECT_NO_THROW(link.OnAddToDesktop());
  CHyperLink empty(urls, clipboard, {[] { return std::string(); }, [] { return std::string(); }});
  empty.SetLink(kUrl, "Orvalle", false);
  EXPECT_NO_THROW(empty.OnAddToDesktop());
}

}  // namespace
}  // namespace kelvane
