// Fonts: a window's font set by face, size and weight, and the platform's font dialog.
// Face names are UTF-8 here and UTF-16 towards the platform, so faces of every script
// keep their names. Relies on GDI32, on COMDLG32 for the dialog and on the core's UTF-8
// conversion. The record owns its font from open_window to close_window (surface.cpp);
// text is drawn in it by text_output.cpp and text_utf8.cpp.
#include "runtime/core/core_internal.h"
#include "runtime/draw/draw_internal.h"

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

// The logical font of a choice at the screen's resolution; false when the choice is not
// one set_window_font takes.
bool choice_to_logfont(const FontChoice* choice, LOGFONTW* font) {
    *font = {};
    if (!face_to_wide(choice, font->lfFaceName) || !in_range(choice->points, 1, FONT_POINTS_MAX) ||
        !in_range(choice->weight, 1, 1000) || !in_range(choice->italic, 0, 1)) {
        return false;
    }
    font->lfHeight = -::MulDiv(choice->points, screen_dpi(), POINTS_PER_INCH);
    font->lfWeight = choice->weight;
    font->lfItalic = static_cast<BYTE>(choice->italic);
    font->lfCharSet = DEFAULT_CHARSET;
    font->lfOutPrecision = OUT_DEFAULT_PRECIS;
    font->lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font->lfQuality = DEFAULT_QUALITY;
    font->lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    return true;
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
    // Drawing open on the window holds the record's font: the new one takes its place
    // before the old one is deleted.
    if (record->draw_dc != nullptr) {
        ::SelectObject(record->draw_dc, made);
    }
    if (record->font != nullptr) {
        ::DeleteObject(record->font);
    }
    record->font = made;
    return 1;
}

// Let a person choose a font with the platform's font dialog, starting from *choice.
int32_t choose_font(WindowRecord* owner, FontChoice* choice) {
    if (choice == nullptr) {
        return 0;
    }
    // Start from what of the choice is usable: its face, else the dialog's first; its
    // size, else 10 points.
    FontChoice start = *choice;
    if (!in_range(start.points, 1, FONT_POINTS_MAX)) {
        start.points = DEFAULT_POINTS;
    }
    if (!in_range(start.weight, 1, 1000)) {
        start.weight = FW_NORMAL;
    }
    start.italic = start.italic != 0 ? 1 : 0;
    LOGFONTW logical = {};
    const bool has_face = choice_to_logfont(&start, &logical);

    CHOOSEFONTW dialog = {};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner != nullptr ? owner->hwnd : nullptr;
    dialog.lpLogFont = &logical;
    dialog.Flags = CF_SCREENFONTS | CF_LIMITSIZE | (has_face ? CF_INITTOLOGFONTSTRUCT : 0);
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
