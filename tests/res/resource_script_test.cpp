#include "res/resource_script.h"

#include <gtest/gtest.h>

#include "res/resource.h"

namespace kelvane::res {
namespace {

TEST(resource_script_test, string_table_holds_the_exact_texts) {
  const struct {
    int id;
    const char* text;
  } cases[] = {
      {IDS_VARIABLES_HEADING, "Variables"},
      {IDS_CONFIRM_DELETE, "Are you sure you want to delete variable %s?"},
      {IDS_ENTER_VARIABLE_NAME, "Please enter a variable name"},
      {IDS_WRITTEN_TO_FILE, "Results were written to file %s"},
      {IDS_WRITTEN_TO_CLIPBOARD, "Results were written to the clipboard"},
      {IDS_LINE_COUNT_MISMATCH, "Variable <%s> has %d lines and the repeat value is %d.  Please correct."},
      {IDS_COMPANY_NAME, "Orvalle Software Inc."},
      {IDS_APP_TITLE, "Kelvane"},
      {IDS_PARSE_INT, "Please enter an integer."},
      {IDS_PARSE_INT_RANGE, "Please enter an integer between %1 and %2."},
      {IDS_FAILED_TO_LAUNCH_HELP, "Failed to launch help."},
      {IDS_MEMORY_EXCEPTION, "Out of memory."},
      {IDS_NO_ERROR_AVAILABLE, "No error message is available."},
      {IDS_FILE_BAD_SEEK, "Seek failed on %1"},
      {IDS_FILE_DISK_FULL, "Disk full while accessing %1."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LoadString(c.id), c.text) << c.id;
  }
  EXPECT_EQ(LoadString(4242), "");
}

TEST(resource_script_test, main_dialog_template_has_every_control_in_tab_order) {
  const DialogTemplate& dialog = LoadDialog(IDD_REPEATER_DIALOG);
  EXPECT_EQ(dialog.caption, "Kelvane");
  EXPECT_EQ(dialog.width, 367);
  EXPECT_EQ(dialog.height, 232);
  EXPECT_TRUE(dialog.exStyles.contains("WS_EX_APPWINDOW"));
  const int order[] = {IDC_STATIC,
                       IDC_BLOCK_TEXT,
                       IDC_STATIC,
                       IDC_OUTPUT_FILE,
                       IDC_BROWSE_OUTPUT_FILE,
                       IDC_APPEND,
                       IDC_VARIABLE_LIST,
                       IDC_ADD_VARIABLE,
                       IDC_EDIT_VARIABLE,
                       IDC_DELETE_VARIABLE,
                       ID_HELP,
                       IDC_STATIC,
                       IDC_REPEAT_COUNT,
                       IDC_STATIC,
                       IDC_STATIC,
                       IDC_LINK,
                       IDOK,
                       IDCANCEL};
  ASSERT_EQ(dialog.controls.size(), std::size(order));
  for (size_t i = 0; i < std::size(order); ++i) {
    EXPECT_EQ(dialog.controls[i].id, order[i]) << i;
  }
  const Control* block = dialog.Find(IDC_BLOCK_TEXT);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(block->className, "Edit");
  EXPECT_TRUE(block->Has("ES_MULTILINE") && block->Has("ES_WANTRETURN") && block->Has("WS_TABSTOP"));
  EXPECT_EQ(std::tie(block->x, block->y, block->width, block->height), std::make_tuple(3, 11, 361, 121));
  const Control* link = dialog.Find(IDC_LINK);
  EXPECT_TRUE(link->Has("ES_READONLY"));
  EXPECT_FALSE(link->Has("WS_BORDER"));
  EXPECT_TRUE(dialog.Find(IDOK)->Has("BS_DEFPUSHBUTTON"));
  EXPECT_EQ(dialog.Find(IDOK)->text, "D&uplicate");
  EXPECT_TRUE(dialog.controls[0].Has("WS_GROUP"));
  EXPECT_FALSE(dialog.controls[0].Has("WS_TABSTOP"));
  EXPECT_EQ(dialog.Find(IDC_APPEND)->className, "Button");
  EXPECT_TRUE(dialog.Find(IDC_APPEND)->Has("BS_AUTOCHECKBOX"));
  EXPECT_TRUE(dialog.Find(IDC_VARIABLE_LIST)->Has("LVS_SINGLESEL"));
}

TEST(resource_script_test, variable_dialog_and_link_menu) {
  const DialogTemplate& dialog = LoadDialog(IDD_VARIABLE_DIALOG);
  EXPECT_EQ(dialog.caption, "Variable Setup");
  ASSERT_EQ(dialog.controls.size(), 7U);
  EXPECT_EQ(dialog.controls[1].id, IDC_VARIABLE_TAG);
  EXPECT_EQ(dialog.controls[2].text, "Values (one per line):");
  EXPECT_FALSE(dialog.styles.contains("WS_VISIBLE"));

  const Menu& menu = LoadMenu(IDR_LINK_MENU);
  ASSERT_EQ(menu.items.size(), 1U);
  const auto& items = menu.items[0].items;
  ASSERT_EQ(items.size(), 4U);
  EXPECT_EQ(items[0].text, "&Open");
  EXPECT_EQ(items[0].id, ID_LINK_OPEN);
  EXPECT_EQ(items[1].text, "Copy Shor&tcut");
  EXPECT_EQ(items[3].id, ID_LINK_ADD_TO_DESKTOP);
}

TEST(resource_script_test, parser_reads_defines_escapes_and_reports_the_failing_line) {
  const auto noInclude = [](std::string_view) -> std::string { return "#define ID_X 7\n"; };
  const ResourceScript script = ParseResourceScript(
      "#include \"x.h\"\nSTRINGTABLE\nBEGIN\n  ID_X \"a \"\"b\"\"\\n\\tc\"\n  8, \"d\"\nEND\n", noInclude);
  EXPECT_EQ(script.strings.at(7), "a \"b\"\n\tc");
  EXPECT_EQ(script.strings.at(8), "d");

  const char* broken[] = {"STRINGTABLE\nBEGIN\n 1 \"x\n", "STRINGTABLE\nBEGIN\n 1 \"x\"\n 1 \"y\"\nEND",
                          "5 DIALOG 0, 0, 1\n", "STRINGTABLE\nBEGIN\n NOPE \"x\"\nEND"};
  for (const char* text : broken) {
    try {
      ParseResourceScript(text, noInclude);
      ADD_FAILURE() << text;
    } catch (const ScriptError& error) {
      EXPECT_NE(std::string(error.what()).find("line "), std::string::npos) << error.what();
    }
  }
}

TEST(resource_script_test, program_script_names_the_windows_files_that_exist) {
  const ResourceScript& script = Resources();
  EXPECT_EQ(script.icons.at(IDR_MAINFRAME), "icons/kelvane.ico");
  EXPECT_EQ(script.cursors.at(IDC_HAND_CURSOR), "cursors/hand.cur");
  EXPECT_EQ(script.manifests.at(1), "kelvane.manifest");
}

TEST(resource_script_test, parser_passes_over_what_only_windres_reads) {
  const auto include = [](std::string_view name) -> std::string {
    if (name != "ids.h") {
      throw ScriptError("unexpected include " + std::string(name));
    }
    return "#define IDI_APP 128\n";
  };
  const ResourceScript script = ParseResourceScript(R"(#include <winresrc.h>
#include <kelvane_version.h>
#include "ids.h"
IDI_APP ICON "app.ico"
1 RT_MANIFEST "app.manifest"
1 VERSIONINFO
FILEVERSION MAJOR, MINOR, 0, 0
FILEOS VOS_NT_WINDOWS32
BEGIN
  BLOCK "StringFileInfo"
  BEGIN
    BLOCK "040904B0"
    BEGIN
      VALUE "FileVersion", VERSION_TEXT
    END
  END
  BLOCK "VarFileInfo"
  BEGIN
    VALUE "Translation", 0x409, 1200
  END
END
STRINGTABLE
BEGIN
  1 "after"
END
)",
                                                    include);
  EXPECT_EQ(script.icons.at(128), "app.ico");
  EXPECT_EQ(script.manifests.at(1), "app.manifest");
  EXPECT_EQ(script.strings.at(1), "after");  // the version block ended where its END is

  const char* broken[] = {"1 VERSIONINFO\nFILEVERSION 1, 0, 0, 0\n",
                          "1 VERSIONINFO\nBEGIN\n BLOCK \"x\"\n BEGIN\nEND\n", "#include <unterminated.h\n"};
  for (const char* text : broken) {
    EXPECT_THROW(ParseResourceScript(text, include), ScriptError) << text;
  }
}

}  // namespace
}  // namespace kelvane::res
