// Finds its data files from the executable's folder as the game does (start_path followed
// by the relative name), wherever it was copied: exit code 0 when the picture loaded and
// the sound file opened, 1 when the picture did not, 2 when the sound did not. Built twice:
// in UTF-8 (folder_child.exe) and keeping the system's code page (folder_child_system.exe).
#include "runtime/core/core.h"
#include "runtime/draw/draw.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    runtime_startup();
    char* folder = start_path();
    char* picture = string_concat({folder, "graphics\\goodguy.bmp"});
    char* sound = string_concat({folder, "sound\\shoot.wav"});
    UINT code = 0;
    if (image_load(picture, TAG_STRING, IMAGE_PICTURE) == 0) {
        code = 1;
    } else {
        HANDLE file = nullptr;
        code = file_open(&file, TAG_BINARY_FILE, sound, "R") == 0 ? 0 : 2;
        file_close(&file, TAG_BINARY_FILE);
    }
    ::ExitProcess(code);
}
