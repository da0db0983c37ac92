// Help for a dialog: the help page at the dialog's topic, or a message when it cannot open.
#pragma once

namespace kelvane {

struct DialogServices;

// Opens the help page at context 0x20000 + templateId.
void ShowHelpFor(int templateId, const DialogServices& services);

}  // namespace kelvane
