#include "ui/help.h"

#include "platform/message_box.h"
#include "platform/shell.h"
#include "res/resource.h"
#include "res/resource_script.h"
#include "ui/dialog_services.h"

namespace kelvane {

namespace {

constexpr unsigned kHelpContextBase = 0x20000;

}  // namespace

// The answer may come after the dialog has closed; the message box service outlives every dialog.
void ShowHelpFor(int templateId, const DialogServices& services) {
  MessageBox& messages = services.messages;
  services.help.ShowHelp(kHelpContextBase + static_cast<unsigned>(templateId), [&messages](bool shown) {
    if (!shown) {
      messages.Show(res::LoadString(IDS_FAILED_TO_LAUNCH_HELP));
    }
  });
}

}  // namespace kelvane
