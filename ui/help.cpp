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

void ShowHelpFor(int templateId, const DialogServices& services) {
  if (!services.help.ShowHelp(kHelpContextBase + static_cast<unsigned>(templateId))) {
    services.messages.Show(res::LoadString(IDS_FAILED_TO_LAUNCH_HELP));
  }
}

}  // namespace kelvane
