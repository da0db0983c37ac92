#include "res/resource_script.h"

#include <cctype>
#include <charconv>
#include <optional>

namespace kelvane::res {

const Control* DialogTemplate::Find(int controlId) const {
  for (const Control& control : controls) {
    if (control.id == controlId) {
      return &control;
    }
  }
  return nullptr;
}

namespace {

enum class TokenKind { Identifier, Number, String, Punct, End };

struct Token {
  TokenKind kind = TokenKind::End;
  std::string text;  // identifier, string contents or punctuation
  long value = 0;    // numbers
  int line = 0;
};

// Splits a script into tokens; preprocessor lines (#include, #define, #pragma) are handled
// here so the grammar below never sees them.
class Lexer {
 public:
  Lexer(std::string_view text, const IncludeResolver& resolve, ResourceScript& script)
      : resolve_(resolve), script_(script) {
    sources_.push_back({std::string(text), 0, 1});
  }

  Token Next() {
    while (!sources_.empty()) {
      Source& src = sources_.back();
      SkipBlanksAndComments(src);
      if (src.pos >= src.text.size()) {
        sources_.pop_back();
        continue;
      }
      const char c = src.text[src.pos];
      if (c == '#') {
        Preprocess(src);
        continue;
      }
      return Scan(src);
    }
    return Token{TokenKind::End, {}, 0, line_};
  }

  [[noreturn]] void Fail(const std::string& what, int line) const {
    throw ScriptError("resource script, line " + std::to_string(line) + ": " + what);
  }

 private:
  struct Source {
    std::string text;
    size_t pos;
    int line;
  };

  static bool IsIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; }

  void SkipBlanksAndComments(Source& src) {
    while (src.pos < src.text.size()) {
      const char c = src.text[src.pos];
      if (c == '\n') {
        ++src.line;
        ++src.pos;
      } else if (c == ' ' || c == '\t' || c == '\r') {
        ++src.pos;
      } else if (src.text.compare(src.pos, 2, "//") == 0) {
        while (src.pos < src.text.size() && src.text[src.pos] != '\n') {
          ++src.pos;
        }
      } else {
        break;
      }
    }
    line_ = src.line;
  }

  std::string RestOfLine(Source& src) {
    const size_t end = src.text.find('\n', src.pos);
    std::string rest = src.text.substr(src.pos, end == std::string::npos ? end : end - src.pos);
    src.pos = end == std::string::npos ? src.text.size() : end;
    if (const size_t comment = rest.find("//"); comment != std::string::npos) {
      rest.erase(comment);
    }
    return rest;
  }

  static std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())) != 0) {
      s.remove_prefix(1);
    }
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())) != 0) {
      s.remove_suffix(1);
    }
    return s;
  }

  void Preprocess(Source& src) {
    const int line = src.line;
    const std::string directive = RestOfLine(src);
    std::string_view rest = Trim(std::string_view(directive).substr(1));
    if (rest.starts_with("pragma")) {
      return;
    }
    if (rest.starts_with("include")) {
      rest = Trim(rest.substr(7));
      // A system header (<winresrc.h>) only gives windres the values of the style names, which
      // this parser keeps as names.
      if (rest.size() >= 2 && rest.front() == '<' && rest.back() == '>') {
        return;
      }
      if (rest.size() < 2 || rest.front() != '"' || rest.back() != '"') {
        Fail("#include needs a quoted file name", line);
      }
      std::string included = resolve_(rest.substr(1, rest.size() - 2));
      sources_.push_back({std::move(included), 0, 1});
      return;
    }
    if (rest.starts_with("define")) {
      rest = Trim(rest.substr(6));
      size_t nameEnd = 0;
      while (nameEnd < rest.size() && IsIdentChar(rest[nameEnd])) {
        ++nameEnd;
      }
      const std::string name(rest.substr(0, nameEnd));
      std::string_view value = Trim(rest.substr(nameEnd));
      while (value.size() >= 2 && value.front() == '(' && value.back() == ')') {
        value = Trim(value.substr(1, value.size() - 2));
      }
      const std::optional<long> number = ParseNumber(value);
      if (name.empty() || !number) {
        Fail("#define needs a name and a number", line);
      }
      script_.defines[name] = static_cast<int>(*number);
      return;
    }
    Fail("unknown directive", line);
  }

  static std::optional<long> ParseNumber(std::string_view text) {
    bool negative = false;
    if (!text.empty() && text.front() == '-') {
      negative = true;
      text.remove_prefix(1);
    }
    int base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
      base = 16;
      text.remove_prefix(2);
    }
    if (!text.empty() && (text.back() == 'L' || text.back() == 'l')) {
      text.remove_suffix(1);
    }
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
      return std::nullopt;
    }
    return negative ? -value : value;
  }

  Token Scan(Source& src) {
    Token token;
    token.line = src.line;
    const char c = src.text[src.pos];
    if (c == '"') {
      token.kind = TokenKind::String;
      token.text = ScanString(src);
      return token;
    }
    if (std::isdigit(static_cast<unsigned char>(c)) != 0 || c == '-') {
      size_t end = src.pos + 1;
      while (end < src.text.size() && IsIdentChar(src.text[end])) {
        ++end;
      }
      const std::optional<long> number = ParseNumber(std::string_view(src.text).substr(src.pos, end - src.pos));
      if (!number) {
        Fail("bad number", src.line);
      }
      token.kind = TokenKind::Number;
      token.value = *number;
      src.pos = end;
      return token;
    }
    if (IsIdentChar(c)) {
      size_t end = src.pos;
      while (end < src.text.size() && IsIdentChar(src.text[end])) {
        ++end;
      }
      token.kind = TokenKind::Identifier;
      token.text = src.text.substr(src.pos, end - src.pos);
      src.pos = end;
      return token;
    }
    if (c == ',' || c == '|' || c == '(' || c == ')') {
      token.kind = TokenKind::Punct;
      token.text = std::string(1, c);
      ++src.pos;
      return token;
    }
    Fail(std::string("unexpected character '") + c + "'", src.line);
  }

  // A quoted string: "" stands for one quote; \n, \r, \t, \\ and \" are escapes.
  std::string ScanString(Source& src) {
    const int line = src.line;
    std::string out;
    size_t pos = src.pos + 1;
    for (;;) {
      if (pos >= src.text.size() || src.text[pos] == '\n') {
        Fail("unterminated string", line);
      }
      const char c = src.text[pos++];
      if (c == '"') {
        if (pos < src.text.size() && src.text[pos] == '"') {
          out += '"';
          ++pos;
          continue;
        }
        break;
      }
      if (c == '\\' && pos < src.text.size()) {
        const char e = src.text[pos++];
        switch (e) {
          case 'n': out += '\n'; break;
          case 'r': out += '\r'; break;
          case 't': out += '\t'; break;
          case '\\': out += '\\'; break;
          case '"': out += '"'; break;
          default: Fail(std::string("unknown escape \\") + e, line);
        }
        continue;
      }
      out += c;
    }
    src.pos = pos;
    return out;
  }

  const IncludeResolver& resolve_;
  ResourceScript& script_;
  std::vector<Source> sources_;
  int line_ = 1;
};

class Parser {
 public:
  Parser(std::string_view text, const IncludeResolver& resolve) : lexer_(text, resolve, script_) { Advance(); }

  ResourceScript Parse() {
    while (token_.kind != TokenKind::End) {
      if (IsWord("STRINGTABLE")) {
        Advance();
        ParseStringTable();
        continue;
      }
      const int id = ParseId();
      const std::string kind = ExpectIdentifier();
      if (kind == "DIALOG" || kind == "DIALOGEX") {
        ParseDialog(id);
      } else if (kind == "MENU" || kind == "MENUEX") {
        Menu menu;
        menu.id = id;
        Expect("BEGIN");
        menu.items = ParseMenuItems();
        script_.menus[id] = std::move(menu);
      } else if (kind == "ICON") {
        script_.icons[id] = ExpectString();
      } else if (kind == "CURSOR") {
        script_.cursors[id] = ExpectString();
      } else if (kind == "RT_MANIFEST") {
        script_.manifests[id] = ExpectString();
      } else if (kind == "VERSIONINFO") {
        SkipVersionInfo();
      } else {
        Fail("unknown resource type " + kind);
      }
    }
    return std::move(script_);
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const { lexer_.Fail(what, token_.line); }

  void Advance() { token_ = lexer_.Next(); }

  bool IsWord(std::string_view word) const { return token_.kind == TokenKind::Identifier && token_.text == word; }

  bool IsPunct(char c) const {
    return token_.kind == TokenKind::Punct && token_.text.size() == 1 && token_.text[0] == c;
  }

  void Expect(std::string_view word) {
    if (!IsWord(word)) {
      Fail("expected " + std::string(word));
    }
    Advance();
  }

  void ExpectComma() {
    if (!IsPunct(',')) {
      Fail("expected ','");
    }
    Advance();
  }

  bool SkipComma() {
    if (IsPunct(',')) {
      Advance();
      return true;
    }
    return false;
  }

  std::string ExpectIdentifier() {
    if (token_.kind != TokenKind::Identifier) {
      Fail("expected a name");
    }
    std::string text = token_.text;
    Advance();
    return text;
  }

  std::string ExpectString() {
    if (token_.kind != TokenKind::String) {
      Fail("expected a string");
    }
    std::string text = token_.text;
    Advance();
    return text;
  }

  // A number, a #define'd name, or either in parentheses.
  int ParseId() {
    if (IsPunct('(')) {
      Advance();
      const int id = ParseId();
      if (!IsPunct(')')) {
        Fail("expected ')'");
      }
      Advance();
      return id;
    }
    if (token_.kind == TokenKind::Number) {
      const long value = token_.value;
      Advance();
      return static_cast<int>(value);
    }
    if (token_.kind == TokenKind::Identifier) {
      const auto found = script_.defines.find(token_.text);
      if (found == script_.defines.end()) {
        Fail("undefined name " + token_.text);
      }
      Advance();
      return found->second;
    }
    Fail("expected an id");
  }

  // style | style | NOT style; numbers are not allowed, so every style has a name.
  void ParseStyles(std::set<std::string, std::less<>>& styles) {
    for (;;) {
      bool remove = false;
      if (IsWord("NOT")) {
        remove = true;
        Advance();
      }
      const std::string name = ExpectIdentifier();
      if (remove) {
        styles.erase(name);
      } else {
        styles.insert(name);
      }
      if (!IsPunct('|')) {
        return;
      }
      Advance();
    }
  }

  // The version resource is the Windows program's alone; its numbers come from a header that
  // only windres reads, so its statements are passed over whole.
  void SkipVersionInfo() {
    while (!IsWord("BEGIN")) {
      if (token_.kind == TokenKind::End) {
        Fail("VERSIONINFO without BEGIN");
      }
      Advance();
    }
    int depth = 0;
    do {
      if (token_.kind == TokenKind::End) {
        Fail("VERSIONINFO without END");
      }
      if (IsWord("BEGIN")) {
        ++depth;
      } else if (IsWord("END")) {
        --depth;
      }
      Advance();
    } while (depth > 0);
  }

  void ParseStringTable() {
    Expect("BEGIN");
    while (!IsWord("END")) {
      if (token_.kind == TokenKind::End) {
        Fail("STRINGTABLE without END");
      }
      const int id = ParseId();
      SkipComma();
      if (!script_.strings.emplace(id, ExpectString()).second) {
        Fail("string " + std::to_string(id) + " defined twice");
      }
    }
    Advance();
  }

  void ParseRect(int& x, int& y, int& w, int& h) {
    x = ParseId();
    ExpectComma();
    y = ParseId();
    ExpectComma();
    w = ParseId();
    ExpectComma();
    h = ParseId();
  }

  void ParseDialog(int id) {
    DialogTemplate dialog;
    dialog.id = id;
    ParseRect(dialog.x, dialog.y, dialog.width, dialog.height);
    for (;;) {
      if (IsWord("STYLE")) {
        Advance();
        ParseStyles(dialog.styles);
      } else if (IsWord("EXSTYLE")) {
        Advance();
        ParseStyles(dialog.exStyles);
      } else if (IsWord("CAPTION")) {
        Advance();
        dialog.caption = ExpectString();
      } else if (IsWord("FONT")) {
        Advance();
        dialog.fontPoints = ParseId();
        ExpectComma();
        dialog.fontName = ExpectString();
      } else {
        break;
      }
    }
    Expect("BEGIN");
    while (!IsWord("END")) {
      if (token_.kind == TokenKind::End) {
        Fail("DIALOG without END");
      }
      dialog.controls.push_back(ParseControl());
    }
    Advance();
    if (!script_.dialogs.emplace(id, std::move(dialog)).second) {
      Fail("dialog " + std::to_string(id) + " defined twice");
    }
  }

  Control ParseControl() {
    Control control;
    control.statement = ExpectIdentifier();
    const std::string& s = control.statement;
    control.styles = {"WS_CHILD", "WS_VISIBLE"};
    if (s == "CONTROL") {
      control.text = ExpectString();
      ExpectComma();
      control.id = ParseId();
      ExpectComma();
      control.className = ExpectString();
      ExpectComma();
      ParseStyles(control.styles);
      ExpectComma();
      ParseRect(control.x, control.y, control.width, control.height);
      if (SkipComma()) {
        ParseStyles(control.exStyles);
      }
      return control;
    }
    if (s == "LTEXT" || s == "CTEXT" || s == "RTEXT") {
      control.className = "Static";
      control.styles.insert({s == "LTEXT" ? "SS_LEFT" : s == "CTEXT" ? "SS_CENTER" : "SS_RIGHT", "WS_GROUP"});
    } else if (s == "EDITTEXT") {
      control.className = "Edit";
      control.styles.insert({"ES_LEFT", "WS_BORDER", "WS_TABSTOP"});
    } else if (s == "PUSHBUTTON" || s == "DEFPUSHBUTTON") {
      control.className = "Button";
      control.styles.insert({s == "PUSHBUTTON" ? "BS_PUSHBUTTON" : "BS_DEFPUSHBUTTON", "WS_TABSTOP"});
    } else {
      Fail("unknown control statement " + s);
    }
    if (s != "EDITTEXT") {
      control.text = ExpectString();
      ExpectComma();
    }
    control.id = ParseId();
    ExpectComma();
    ParseRect(control.x, control.y, control.width, control.height);
    if (SkipComma()) {
      ParseStyles(control.styles);
      if (SkipComma()) {
        ParseStyles(control.exStyles);
      }
    }
    return control;
  }

  std::vector<MenuItem> ParseMenuItems() {
    std::vector<MenuItem> items;
    while (!IsWord("END")) {
      MenuItem item;
      if (IsWord("POPUP")) {
        Advance();
        item.popup = true;
        item.text = ExpectString();
        Expect("BEGIN");
        item.items = ParseMenuItems();
      } else if (IsWord("MENUITEM")) {
        Advance();
        if (IsWord("SEPARATOR")) {
          Advance();
          item.separator = true;
        } else {
          item.text = ExpectString();
          ExpectComma();
          item.id = ParseId();
        }
      } else {
        Fail("expected POPUP, MENUITEM or END");
      }
      items.push_back(std::move(item));
    }
    Advance();
    return items;
  }

  ResourceScript script_;
  Lexer lexer_;
  Token token_;
};

}  // namespace

ResourceScript ParseResourceScript(std::string_view text, const IncludeResolver& resolveInclude) {
  return Parser(text, resolveInclude).Parse();
}

const ResourceScript& Resources() {
  static const ResourceScript script = ParseResourceScript(EmbeddedFile("kelvane.rc"), [](std::string_view name) {
    const std::string_view file = EmbeddedFile(name);
    if (file.empty()) {
      throw ScriptError("resource script includes a missing file: " + std::string(name));
    }
    return std::string(file);
  });
  return script;
}

const std::string& LoadString(int id) {
  static const std::string none;
  const auto& strings = Resources().strings;
  const auto found = strings.find(id);
  return found == strings.end() ? none : found->second;
}

const DialogTemplate& LoadDialog(int id) {
  return Resources().dialogs.at(id);
}

const Menu& LoadMenu(int id) {
  return Resources().menus.at(id);
}

}  // namespace kelvane::res
