// Fonts: a window's font set by face, size and weight, and the platform's font dialog.
// Face names are UTF-8 here and UTF-16 towards the platform, so faces of every script
// keep their names. Relies on GDI32, on COMDLG32 for the dialog and on the core's UTF-8
// conversion. The record owns its font from open_window to close_window (surface.cpp);
// text is drawn in it by text_output.cpp and text_utf8.cpp.
#include "runtime/core/core_internal.h"
#include "runtime/draw/draw_internal.h"
#include "runtime/window/window_internal.h"

#include <commdlg.h> // after windows.h, which the runtime's headers bring

#include <cstring>
#include <cwchar>

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

constexpr int32_t POINTS_PER_INCH = 72;
constexpr int32_t DEFAULT_DPI = 96; // when the screen's resolution cannot be read
constexpr int32_t DEFAULT_POINTS = 10;

// Pixels per logical inch of the screen, vertically.
int32_t screen_dpi() {
    HDC screen = ::GetDC(nullptr);
    int32_t dpi = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen != nullptr) {
        ::ReleaseDC(nullptr, screen);
    }
    return dpi > 0 ? dpi : DEFAULT_DPI;
}

// The face of a choice in UTF-16 (at most LF_FACESIZE - 1 units, terminated); false when
// it is empty, not terminated within its field, ill-formed or too long.
bool face_to_wide(const FontChoice* choice, wchar_t face[LF_FACESIZE]) {
    const void* end = std::memchr(choice->face, '\0', sizeof(choice->face));
    if (end == nullptr) {
        return false;
    }
    const size_t bytes = static_cast<size_t>(static_cast<const char*>(end) - choice->face);
    bool clean = false;
    const size_t units = utf16_units(choice->face, bytes, &clean);
    if (bytes == 0 || !clean || units >= LF_FACESIZE) {
        return false;
    }
    face[utf8_to_utf16(choice->face, bytes, face)] = L'\0';
    return true;
}

bool in_range(int32_t value, int32_t low, int32_t high) {
    return value >= low && value <= high;
}

// The size, weight and slant of a choice (in range) in a logical font at the screen's
// resolution; its face is left as it is.
void choice_to_style(const FontChoice* choice, LOGFONTW* font) {
    font->lfHeight = -::MulDiv(choice->points, screen_dpi(), POINTS_PER_INCH);
    font->lfWeight = choice->weight;
    font->lfItalic = static_cast<BYTE>(choice->italic);
    font->lfCharSet = DEFAULT_CHARSET;
    font->lfOutPrecision = OUT_DEFAULT_PRECIS;
    font->lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font->lfQuality = DEFAULT_QUALITY;
    font->lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
}

// The logical font of a choice at the screen's resolution; false when the choice is not
// one set_window_font takes.
bool choice_to_logfont(const FontChoice* choice, LOGFONTW* font) {
    *font = {};
    if (!face_to_wide(choice, font->lfFaceName) || !in_range(choice->points, 1, FONT_POINTS_MAX) ||
        !in_range(choice->weight, 1, 1000) || !in_range(choice->italic, 0, 1)) {
        return false;
    }
    choice_to_style(choice, font);
    return true;
}

// Replace the face of a logical font by the name the font dialog lists the face the
// platform draws it with by: the family's own name, never a vertical "@" face, for a face
// that is not installed, a substitute's name or a face's name in another language. The
// face stays as it was when the platform gives no usable name.
void listed_face(LOGFONTW* font) {
    if (font->lfFaceName[0] == L'@') { // the vertical form of a face: the face itself
        std::wmemmove(font->lfFaceName, font->lfFaceName + 1, LF_FACESIZE - 1);
    }
    HFONT made = ::CreateFontIndirectW(font);
    HDC dc = made != nullptr ? ::CreateCompatibleDC(nullptr) : nullptr;
    if (dc != nullptr) {
        HGDIOBJ previous = ::SelectObject(dc, made);
        wchar_t face[LF_FACESIZE] = {};
        // An outline font's family name is the one the dialog lists; a bitmap font's face.
        const UINT size = ::GetOutlineTextMetricsW(dc, 0, nullptr);
        OUTLINETEXTMETRICW* metrics = size >= sizeof(OUTLINETEXTMETRICW)
                                          ? static_cast<OUTLINETEXTMETRICW*>(heap_alloc(size))
                                          : nullptr;
        if (metrics != nullptr && ::GetOutlineTextMetricsW(dc, size, metrics) == size) {
            const size_t offset = reinterpret_cast<size_t>(metrics->otmpFamilyName);
            const wchar_t* family =
                reinterpret_cast<const wchar_t*>(reinterpret_cast<const char*>(metrics) + offset);
            const size_t room = offset < size ? (size - offset) / sizeof(wchar_t) : 0;
            const size_t units = ::wcsnlen(family, room);
            if (units > 0 && units < room && units < LF_FACESIZE) {
                std::wmemcpy(face, family, units);
            }
        } else {
            ::GetTextFaceW(dc, LF_FACESIZE, face);
        }
        heap_free(metrics);
        if (face[0] != L'\0' && face[0] != L'@') {
            std::wmemcpy(font->lfFaceName, face, LF_FACESIZE);
        }
        ::SelectObject(dc, previous);
        ::DeleteDC(dc);
    }
    if (made != nullptr) {
        ::DeleteObject(made);
    }
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Set the window's font by face, size and weight, replacing (and deleting) the record's.
int32_t set_window_font(WindowRecord* record, const FontChoice* font) {
    LOGFONTW logical = {};
    if (record == nullptr || record->hwnd == nullptr || font == nullptr ||
        !choice_to_logfont(font, &logical)) {
        return 0;
    }
    HFONT made = ::CreateFontIndirectW(&logical);
    if (made == nullptr) {
        return 0;
    }
    // Drawing open on the window (on its surface or an erase context) holds the record's
    // font: the new one takes its place before the old one is deleted.
    HFONT old = record->font;
    record->font = made;
    drawing_state_changed(record, made, false);
    if (old != nullptr) {
        ::DeleteObject(old);
    }
    return 1;
}

// Let a person choose a font with the platform's font dialog, starting from *choice.
int32_t choose_font(WindowRecord* owner, FontChoice* choice) {
    if (choice == nullptr) {
        return 0;
    }
    // Start from what of the choice is usable: its face, else the platform's default; its
    // size, else 10 points; its weight, else regular.
    FontChoice start = *choice;
    if (!in_range(start.points, 1, FONT_POINTS_MAX)) {
        start.points = DEFAULT_POINTS;
    }
    if (!in_range(start.weight, 1, 1000)) {
        start.weight = FW_NORMAL;
    }
    start.italic = start.italic != 0 ? 1 : 0;
    LOGFONTW logical = {};
    choice_to_style(&start, &logical);
    if (!face_to_wide(&start, logical.lfFaceName)) {
        logical.lfFaceName[0] = L'\0'; // the platform's default face
    }
    // The dialog finds its start only among the faces it lists, by their names; otherwise
    // it starts at its first face at its smallest size.
    listed_face(&logical);

    CHOOSEFONTW dialog = {};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner != nullptr ? owner->hwnd : nullptr;
    dialog.lpLogFont = &logical;
    dialog.Flags = CF_SCREENFONTS | CF_LIMITSIZE | CF_INITTOLOGFONTSTRUCT | CF_NOVERTFONTS;
    dialog.nSizeMin = 1;
    dialog.nSizeMax = FONT_POINTS_MAX;
    if (!::ChooseFontW(&dialog)) {
        return 0;
    }

    FontChoice chosen = {};
    const size_t units = ::wcsnlen(logical.lfFaceName, LF_FACESIZE - 1);
    // At most 31 units of at most 3 bytes each (a surrogate pair: 4 bytes for 2 units).
    chosen.face[utf16_to_utf8(logical.lfFaceName, units, chosen.face)] = '\0';
    // iPointSize is in tenths of a point.
    const int32_t points = (dialog.iPointSize + 5) / 10;
    chosen.points = points < 1 ? 1 : points > FONT_POINTS_MAX ? FONT_POINTS_MAX : points;
    chosen.weight = logical.lfWeight <= 0     ? FW_NORMAL
                    : logical.lfWeight > 1000 ? 1000
                                              : logical.lfWeight;
    chosen.italic = logical.lfItalic != 0 ? 1 : 0;
    if (chosen.face[0] == '\0') {
        return 0;
    }
    *choice = chosen;
    return 1;
}
