// The one header through which the engine and the game reach the Windows stand-ins. Each area's
// header adds itself here once it exists.
#pragma once

#include "win32/windows_base.h"
#include "win32/mmsystem.h"
#include "win32/file_access.h"
#include "win32/winuser.h"
#include "win32/commdlg.h"
#include "win32/commctrl.h"
#include "win32/shellapi.h"
#include "win32/winreg.h"
#include "gdi/wingdi.h"
