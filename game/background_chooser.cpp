// The background chooser: the open-file dialog, the load through the 2D layer, and the stored path.
#include "background_chooser.h"

#include "file_dialog.h"
#include "program_state.h"
#include "registry_manager.h"

#include "d2d/d2d_manager.h"

void ChooseBackground() {
    FileDialog dialog(MainWindow, AppInstance);
    static const char FILTER[] = "Files(*.bmp,*.jpg)\0*.BMP;*.JPG\0";
    char path[BACKGROUND_PATH_SIZE] = {};
    if (!dialog.GetOpenFile(path, FILTER)) {
        return;
    }
    int texture = 0;
    if (!Layer2D || !Layer2D->LoadTextur(path, &texture)) {
        return;
    }
    // The new picture is loaded before the old one is released, so choosing the same file keeps it.
    Layer2D->ReleaseTextur(BackgroundTexture);
    BackgroundTexture = texture;
    if (Registry) {
        Registry->SetValue(SETTING_BACKGROUND, BACKGROUND_PATH_SIZE, path);
    }
}
