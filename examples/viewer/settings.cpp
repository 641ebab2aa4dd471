// What the viewer remembers between runs, in the runtime's settings file of the program
// "TarrowindViewer": the frame's place and size and whether it and its documents were
// maximised, the colours, the font of texts, the folder of the last file opened and the 8
// files opened last, which the File menu shows numbered. A missing, damaged or unusable
// value gives its default; the file is written whole after every change. Every save reads
// the file again first, so that the values of a damaged file's good lines and names the
// viewer does not know are kept, and the runtime keeps a damaged file beside the new one
// (settings.ini.bad); a file that cannot be read (another program holds it) is left as it
// is, and the change is written by the next save that can read it.
// Relies on the runtime's settings, menus and strings; KERNEL32 for full paths and for the
// code page conversions (the viewer's paths are in the ANSI code page, the file in UTF-8),
// USER32 for the screen's size and for taking items off a menu, GDI32 for the installed faces.
#include "examples/viewer/viewer.h"

#include <cstdio>
#include <cstring>

// ============================================================================
// Module state
// ============================================================================

namespace {

const char* const RECENT_NAMES[RECENT_FILES] = {"recent.1", "recent.2", "recent.3", "recent.4",
                                                "recent.5", "recent.6", "recent.7", "recent.8"};
constexpr int32_t SMALLEST_FRAME_WIDTH = 320, SMALLEST_FRAME_HEIGHT = 240;
constexpr int32_t VISIBLE_PART = 64; // pixels of a remembered frame that must be on the screen

HMENU recent_menu = nullptr; // the File menu that shows the recent files, or null
int32_t recent_shown = 0;    // recent files it shows now

// ============================================================================
// Internal helpers
// ============================================================================

// A string of one code page in another, as a fresh heap string; null without memory.
char* convert(const char* text, UINT from, UINT to) {
    const int32_t units = ::MultiByteToWideChar(from, 0, text, -1, nullptr, 0);
    auto* wide =
        static_cast<wchar_t*>(heap_alloc((static_cast<size_t>(units) + 1) * sizeof(wchar_t)));
    if (wide == nullptr) {
        return nullptr;
    }
    ::MultiByteToWideChar(from, 0, text, -1, wide, units);
    const int32_t bytes = ::WideCharToMultiByte(to, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    char* result = static_cast<char*>(heap_alloc(static_cast<size_t>(bytes) + 1));
    if (result != nullptr) {
        ::WideCharToMultiByte(to, 0, wide, -1, result, bytes, nullptr, nullptr);
    }
    heap_free(wide);
    return result;
}

void replace(char** text, char* value) {
    if (*text != nullptr) {
        heap_free(*text);
    }
    *text = value;
}

// A path of the ANSI code page from the settings, or null when there is none.
char* get_path(const Settings* settings, const char* name) {
    char* utf8 = settings_get_text(settings, name, nullptr);
    if (utf8 == nullptr) {
        return nullptr;
    }
    char* path = utf8[0] != '\0' ? convert(utf8, CP_UTF8, CP_ACP) : nullptr;
    heap_free(utf8);
    return path;
}

void set_path(Settings* settings, const char* name, const char* path) {
    char* utf8 = path != nullptr ? convert(path, CP_ACP, CP_UTF8) : nullptr;
    settings_set_text(settings, name, utf8);
    if (utf8 != nullptr) {
        heap_free(utf8);
    }
}

// A remembered frame place that is usable: its size sensible and enough of it on the
// screen to take hold of. A place that is not is forgotten (width 0: centred).
void check_place(FramePlace* place) {
    // NOTE: the runtime does not give the screen's size; USER32 does (all monitors).
    const int32_t left = ::GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int32_t top = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int32_t right = left + ::GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int32_t bottom = top + ::GetSystemMetrics(SM_CYVIRTUALSCREEN);
    const bool usable = place->width >= SMALLEST_FRAME_WIDTH &&
                        place->height >= SMALLEST_FRAME_HEIGHT &&
                        place->width <= 4 * (right - left) && place->height <= 4 * (bottom - top) &&
                        place->x <= right - VISIBLE_PART && place->y <= bottom - VISIBLE_PART &&
                        place->x >= left - place->width + VISIBLE_PART && place->y >= top;
    if (!usable) {
        place->width = place->height = 0;
    }
}

// Font enumeration's callback: a face of that name exists.
int CALLBACK face_found(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0; // one is enough
}

// 1 when a face of this UTF-8 name is installed.
bool face_installed(const char* face) {
    // NOTE: the runtime makes a font of any name, and the platform then draws it in a face
    // of its own choosing, often not a fixed-pitch one; GDI32's enumeration says whether the
    // face itself is there.
    LOGFONTW wanted = {};
    wanted.lfCharSet = DEFAULT_CHARSET;
    if (::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, face, -1, wanted.lfFaceName,
                              LF_FACESIZE) <= 1) {
        return false; // empty, ill-formed or too long
    }
    bool found = false;
    HDC screen = ::GetDC(nullptr);
    if (screen != nullptr) {
        ::EnumFontFamiliesExW(screen, &wanted, face_found, reinterpret_cast<LPARAM>(&found), 0);
        ::ReleaseDC(nullptr, screen);
    }
    return found;
}

// The remembered font of texts, or the default when it is unusable or not installed.
FontChoice load_font(const Settings* settings) {
    FontChoice font = viewer_default_font();
    char* face = settings_get_text(settings, "font.face", nullptr);
    const int32_t points = settings_get_number(settings, "font.points", DEFAULT_FONT_POINTS);
    const int32_t weight = settings_get_number(settings, "font.weight", FW_NORMAL);
    const int32_t italic = settings_get_number(settings, "font.italic", 0);
    if (face != nullptr && string_length(face) < static_cast<int32_t>(sizeof(font.face)) &&
        points >= SMALLEST_FONT_POINTS && points <= LARGEST_FONT_POINTS && weight >= 1 &&
        weight <= 1000 && (italic == 0 || italic == 1) && face_installed(face)) {
        std::snprintf(font.face, sizeof(font.face), "%s", face);
        font.points = points;
        font.weight = weight;
        font.italic = italic;
    }
    if (face != nullptr) {
        heap_free(face);
    }
    return font;
}

// Show the recent files on the menu, numbered, with a separator after them.
void refresh_menu() {
    if (recent_menu == nullptr) {
        return;
    }
    // NOTE: the runtime adds menu items but takes none off; USER32 does.
    for (int32_t i = 0; i < recent_shown; ++i) {
        ::DeleteMenu(recent_menu, static_cast<UINT>(MENU_RECENT + i), MF_BYCOMMAND);
    }
    if (recent_shown > 0) {
        ::DeleteMenu(recent_menu, RECENT_MENU_POSITION, MF_BYPOSITION); // their separator
    }
    recent_shown = 0;
    for (int32_t i = 0; i < RECENT_FILES && viewer.recent[i] != nullptr; ++i) {
        // "&" shows as "&&" on a menu; the number is the item's access key.
        char text[MAX_PATH * 2 + 8];
        int32_t length = std::snprintf(text, sizeof(text), "&%d ", i + 1);
        for (const char* c = viewer.recent[i];
             *c != '\0' && length < static_cast<int32_t>(sizeof(text)) - 3; ++c) {
            text[length++] = *c;
            if (*c == '&') {
                text[length++] = '&';
            }
        }
        text[length] = '\0';
        insert_menu_item(recent_menu, RECENT_MENU_POSITION + i, text, MF_STRING, MENU_RECENT + i);
        recent_shown = i + 1;
    }
    if (recent_shown > 0) {
        insert_menu_item(recent_menu, RECENT_MENU_POSITION + recent_shown, "", MF_SEPARATOR, 0);
    }
}

// A path made whole (drive and folders), as a fresh heap string.
char* full_path(const char* path) {
    // NOTE: the runtime keeps paths as given; KERNEL32 makes them whole, so that the same
    // file is remembered once and opens from any folder.
    char full[MAX_PATH * 2];
    const DWORD length = ::GetFullPathNameA(path, sizeof(full), full, nullptr);
    return string_duplicate(length > 0 && length < sizeof(full) ? full : path);
}

// 1 when a path is among the recent files.
bool listed(const char* path) {
    for (int32_t i = 0; i < RECENT_FILES && viewer.recent[i] != nullptr; ++i) {
        if (::lstrcmpiA(viewer.recent[i], path) == 0) {
            return true;
        }
    }
    return false;
}

// Take a path off the recent files; 1 when it was there.
int32_t remove_recent(const char* path) {
    for (int32_t i = 0; i < RECENT_FILES && viewer.recent[i] != nullptr; ++i) {
        if (::lstrcmpiA(viewer.recent[i], path) == 0) {
            heap_free(viewer.recent[i]);
            for (int32_t k = i; k + 1 < RECENT_FILES; ++k) {
                viewer.recent[k] = viewer.recent[k + 1];
            }
            viewer.recent[RECENT_FILES - 1] = nullptr;
            return 1;
        }
    }
    return 0;
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// The font of texts when none is remembered, or when the remembered one is not usable: the
// first fixed-pitch face of the list that is installed (the last when none is).
FontChoice viewer_default_font() {
    static const char* face = nullptr; // looked for once
    if (face == nullptr) {
        for (const char* candidate : DEFAULT_FONT_FACES) {
            face = candidate;
            if (face_installed(candidate)) {
                break;
            }
        }
    }
    FontChoice font = {};
    std::snprintf(font.face, sizeof(font.face), "%s", face);
    font.points = DEFAULT_FONT_POINTS;
    font.weight = FW_NORMAL;
    return font;
}

// Read the settings file into the viewer's state; what is missing or unusable gets its default.
void viewer_load_settings() {
    Settings settings = {};
    settings_load(&settings, VIEWER_SETTINGS);
    FramePlace& place = viewer.place;
    place.x = settings_get_number(&settings, "frame.x", 0);
    place.y = settings_get_number(&settings, "frame.y", 0);
    place.width = settings_get_number(&settings, "frame.width", 0);
    place.height = settings_get_number(&settings, "frame.height", 0);
    place.maximized = settings_get_number(&settings, "frame.maximized", 0) == 1 ? 1 : 0;
    place.documents_maximized =
        settings_get_number(&settings, "documents.maximized", 0) == 1 ? 1 : 0;
    check_place(&place);

    const int32_t text = settings_get_number(&settings, "colors.text", -1);
    const int32_t back = settings_get_number(&settings, "colors.background", -1);
    const bool colours =
        text >= 0 && text <= 0xFFFFFF && back >= 0 && back <= 0xFFFFFF && text != back;
    viewer.text_color = colours ? static_cast<COLORREF>(text) : RGB(0, 0, 0);
    viewer.back_color = colours ? static_cast<COLORREF>(back) : RGB(255, 255, 255);
    viewer.font = load_font(&settings);
    viewer.word_wrap = settings_get_number(&settings, "view.word_wrap", 0) == 1 ? 1 : 0;

    replace(&viewer.last_folder, get_path(&settings, "folder"));
    for (char*& recent : viewer.recent) {
        replace(&recent, nullptr);
    }
    int32_t count = 0;
    for (const char* name : RECENT_NAMES) {
        char* path = get_path(&settings, name);
        if (path != nullptr && !listed(path) && count < RECENT_FILES) {
            viewer.recent[count++] = path; // a name written twice is taken where it is first
        } else if (path != nullptr) {
            heap_free(path);
        }
    }
    settings_release(&settings);
}

// Write the viewer's state to the settings file (other names in it are kept).
void viewer_save_settings() {
    Settings settings = {};
    settings_load(&settings, VIEWER_SETTINGS);
    const FramePlace& place = viewer.place;
    const struct {
        const char* name;
        int32_t value;
    } numbers[] = {
        {"frame.x", place.x},
        {"frame.y", place.y},
        {"frame.width", place.width},
        {"frame.height", place.height},
        {"frame.maximized", place.maximized},
        {"documents.maximized", place.documents_maximized},
        {"colors.text", static_cast<int32_t>(viewer.text_color)},
        {"colors.background", static_cast<int32_t>(viewer.back_color)},
        {"font.points", viewer.font.points},
        {"font.weight", viewer.font.weight},
        {"font.italic", viewer.font.italic},
        {"view.word_wrap", viewer.word_wrap},
    };
    for (const auto& number : numbers) {
        settings_set_number(&settings, number.name, number.value);
    }
    settings_set_text(&settings, "font.face", viewer.font.face);
    set_path(&settings, "folder", viewer.last_folder);
    for (int32_t i = 0; i < RECENT_FILES; ++i) {
        set_path(&settings, RECENT_NAMES[i], viewer.recent[i]);
    }
    settings_save(&settings); // refused when the file could not be read: it stays as it is
    settings_release(&settings);
}

// Put a file at the top of the recent files and its folder as the last one.
void viewer_remember_file(const char* path) {
    char* full = full_path(path);
    if (full == nullptr) {
        return;
    }
    remove_recent(full);
    replace(&viewer.recent[RECENT_FILES - 1], nullptr);
    for (int32_t i = RECENT_FILES - 1; i > 0; --i) {
        viewer.recent[i] = viewer.recent[i - 1];
    }
    viewer.recent[0] = full;
    char* folder = string_duplicate(full);
    char* end = std::strrchr(folder, '\\');
    if (end != nullptr) {
        *end = '\0';
        replace(&viewer.last_folder, folder);
    } else {
        heap_free(folder);
    }
    refresh_menu();
    viewer_save_settings();
}

// Forget a recent file (one that could not be opened or shown).
void viewer_forget_file(const char* path) {
    char* full = full_path(path);
    if (full != nullptr && remove_recent(full) != 0) {
        refresh_menu();
        viewer_save_settings();
    }
    if (full != nullptr) {
        heap_free(full);
    }
}

// Show the recent files on this File menu from now on (null: on none).
void viewer_set_recent_menu(HMENU file_menu) {
    recent_menu = file_menu;
    recent_shown = 0;
    refresh_menu();
}
