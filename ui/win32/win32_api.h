// <windows.h> and the common controls without the A/W macros whose names the dialogs' interfaces
// share (SetWindowText, GetDlgItemText, MessageBox, LoadString, ...): each call here names its W
// function.
#pragma once

#include <windows.h>
// windows.h first.
#include <commctrl.h>
#include <windowsx.h>

#undef GetDlgItemText
#undef LoadMenu
#undef LoadString
#undef MessageBox
#undef SetDlgItemText
#undef SetWindowText
#undef SubclassWindow
