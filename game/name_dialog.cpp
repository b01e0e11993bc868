// The name-entry dialog's procedure.
#include "name_dialog.h"

#include "board.h"
#include "highscore_list.h"

#include "win32/winuser.h"

BOOL CALLBACK NameDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        return TRUE;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
        char name[NAME_READ_SIZE] = {};
        GetDlgItemTextA(dialog, NAME_EDIT_ID, name, NAME_READ_SIZE);
        if (name[0] == '\0') {
            return TRUE;
        }
        CurrentHighscoreTable().InsertScore(name, Score);
        EndDialog(dialog, 1);
        return TRUE;
    }
    return FALSE;
}
