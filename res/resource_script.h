// The program's resources: a parser for its resource script and access to the embedded files.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane::res {

// One control of a dialog template; positions and sizes are in dialog units.
struct Control {
  std::string statement;  // LTEXT, EDITTEXT, PUSHBUTTON, CONTROL, ...
  std::string className;  // Static, Edit, Button, SysListView32, ...
  std::string text;
  int id = -1;
  int x = 0, y = 0, width = 0, height = 0;
  std::set<std::string, std::less<>> styles;
  std::set<std::string, std::less<>> exStyles;

  // Whether the control has the named style (such as "ES_MULTILINE").
  [[nodiscard]] bool Has(std::string_view style) const { return styles.contains(style); }
};

// A dialog template with its controls in template (tab) order.
struct DialogTemplate {
  int id = 0;
  std::string caption;
  int x = 0, y = 0, width = 0, height = 0;
  std::set<std::string, std::less<>> styles;
  std::set<std::string, std::less<>> exStyles;
  int fontPoints = 8;
  std::string fontName;
  std::vector<Control> controls;

  // The control with this id, or nullptr.
  [[nodiscard]] const Control* Find(int controlId) const;
};

// A menu item or a popup holding further items.
struct MenuItem {
  std::string text;
  int id = 0;
  bool popup = false;
  bool separator = false;
  std::vector<MenuItem> items;
};

struct Menu {
  int id = 0;
  std::vector<MenuItem> items;
};

// Everything a resource script declares, keyed by id.
struct ResourceScript {
  std::map<int, std::string> strings;
  std::map<int, DialogTemplate> dialogs;
  std::map<int, Menu> menus;
  std::map<int, std::string> icons;      // id -> file name
  std::map<int, std::string> cursors;    // id -> file name
  std::map<int, std::string> manifests;  // id -> file name
  std::map<std::string, int, std::less<>> defines;
};

// A script that cannot be parsed; the message names the line.
class ScriptError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Returns the text of an #include'd file, or throws ScriptError.
using IncludeResolver = std::function<std::string(std::string_view name)>;

// Parses a resource script in the subset of the Windows resource language that Kelvane uses.
ResourceScript ParseResourceScript(std::string_view text, const IncludeResolver& resolveInclude);

// The program's own resource script, parsed once.
const ResourceScript& Resources();

// The string resource with this id; an empty string when there is none.
const std::string& LoadString(int id);

// The dialog template with this id; throws std::out_of_range when there is none.
const DialogTemplate& LoadDialog(int id);

// The menu with this id; throws std::out_of_range when there is none.
const Menu& LoadMenu(int id);

// The bytes of a file embedded from res/, such as "kelvane.rc"; empty when there is none.
std::string_view EmbeddedFile(std::string_view name);

}  // namespace kelvane::res
