// Text laid out by the platform: a line of UTF-16 text itemized, ordered, shaped and placed
// with USP10 (Uniscribe), each run in the window's font or in a face that has its
// characters, then drawn, measured and hit-tested for selecting; and the UTF-8 routines
// that let a program select text in a line it printed. The face found for a script a face
// lacks is remembered (a few of them), so that the next line tries it first.
// Relies on USP10, GDI32, ADVAPI32's registry for the font links, the runtime heap and the
// core's UTF-8 conversion. Printing is text_output.cpp's and text_utf8.cpp's.
#include "runtime/core/core_internal.h"
#include "runtime/draw/draw_internal.h"

#include <cwchar>

// ============================================================================
// Types
// ============================================================================

namespace {

constexpr int32_t MOST_FACES = 256;   // fallback faces tried for one line at most
constexpr int32_t LINKS_TRIED = 8;    // linked faces looked at for GDI's own drawing
constexpr int32_t MOST_MISSING = 256; // characters a font may lack for GDI's own drawing
constexpr wchar_t LINK_KEY[] =
    L"Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink";

// Faces gathered for trying in turn.
struct FaceList {
    wchar_t (*faces)[LF_FACESIZE]; // room faces
    int32_t count;                 // faces gathered
    int32_t room;                  //
    const wchar_t* own;            // the context font's face, never one of them
};

// A face found to have the characters of a script another face lacks.
struct FoundFace {
    WORD script;               // the run's script (SCRIPT_ANALYSIS::eScript)
    wchar_t own[LF_FACESIZE];  // the face that lacks them
    wchar_t face[LF_FACESIZE]; // the face that has them
};

// UTF-8 text converted for a selection routine, with where each unit's bytes start.
struct SelectText {
    wchar_t* units;  // heap: the text in UTF-16, or null
    int32_t* starts; // heap: units + 1 byte offsets
    int32_t count;   // units
};

// ============================================================================
// Module state
// ============================================================================

constexpr int32_t FOUND_FACES = 16;
FoundFace found_faces[FOUND_FACES]; // tried first by the next line with such a run
int32_t found_next = 0;             // the entry replaced next

// ============================================================================
// Internal helpers: the fallback faces
// ============================================================================

void add_face(FaceList* list, const wchar_t* face) {
    if (face[0] == L'\0' || face[0] == L'@' || list->count >= list->room ||
        std::wcslen(face) >= LF_FACESIZE || ::lstrcmpiW(face, list->own) == 0) {
        return;
    }
    for (int32_t i = 0; i < list->count; ++i) {
        if (::lstrcmpiW(list->faces[i], face) == 0) {
            return;
        }
    }
    std::wcscpy(list->faces[list->count++], face);
}

// The faces the platform links the font's face to: REG_MULTI_SZ "file,face[,...]" entries.
void add_linked_faces(FaceList* list) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, LINK_KEY, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return;
    }
    wchar_t links[2048] = {};
    DWORD size = sizeof(links) - 2 * sizeof(wchar_t), type = 0;
    if (::RegQueryValueExW(key, list->own, nullptr, &type, reinterpret_cast<BYTE*>(links), &size) ==
            ERROR_SUCCESS &&
        type == REG_MULTI_SZ) {
        for (wchar_t* entry = links; *entry != L'\0'; entry += std::wcslen(entry) + 1) {
            wchar_t* face = std::wcschr(entry, L',');
            wchar_t* end = face != nullptr ? std::wcschr(face + 1, L',') : nullptr;
            if (face != nullptr) {
                const wchar_t kept = end != nullptr ? *end : L'\0';
                if (end != nullptr) {
                    *end = L'\0';
                }
                add_face(list, face + 1);
                if (end != nullptr) {
                    *end = kept;
                }
            }
        }
    }
    ::RegCloseKey(key);
}

int CALLBACK add_family(const LOGFONTW* font, const TEXTMETRICW*, DWORD type, LPARAM list) {
    if ((type & TRUETYPE_FONTTYPE) != 0) {
        add_face(reinterpret_cast<FaceList*>(list), font->lfFaceName);
    }
    return 1;
}

// Gather the fallback faces once per line, when a run first needs one: the links, then
// every installed TrueType family. False without memory.
bool gather_faces(TextLayout* l) {
    if (l->faces != nullptr) {
        return true;
    }
    l->faces = static_cast<wchar_t(*)[LF_FACESIZE]>(heap_alloc(MOST_FACES * LF_FACESIZE * 2));
    if (l->faces == nullptr) {
        return false;
    }
    wchar_t own[LF_FACESIZE] = {};
    ::GetTextFaceW(l->dc, LF_FACESIZE, own);
    FaceList list = {l->faces, 0, MOST_FACES, own};
    add_linked_faces(&list);
    LOGFONTW all = {};
    all.lfCharSet = DEFAULT_CHARSET;
    ::EnumFontFamiliesExW(l->dc, &all, add_family, reinterpret_cast<LPARAM>(&list), 0);
    l->face_count = list.count;
    return true;
}

// ============================================================================
// Internal helpers: shaping a run
// ============================================================================

// Shape run r with font f at the run's glyphs; the glyphs the font lacks (all of them
// when it lacks the script), or -1 when shaping failed otherwise.
int32_t shape_run(TextLayout* l, int32_t r, int32_t f) {
    const int32_t start = l->items[r].iCharPos, length = l->items[r + 1].iCharPos - start;
    const int32_t first = l->first_glyph[r];
    HGDIOBJ previous = ::SelectObject(l->dc, l->fonts[f]);
    int glyphs = 0;
    HRESULT result = ::ScriptShape(l->dc, &l->caches[f], l->units + start, length,
                                   length * 3 / 2 + 16, &l->items[r].a, l->glyphs + first,
                                   l->clusters + start, l->attrs + first, &glyphs);
    int32_t missing = result == USP_E_SCRIPT_NOT_IN_FONT ? length : result == S_OK ? 0 : -1;
    SCRIPT_FONTPROPERTIES properties = {};
    properties.cBytes = sizeof(properties);
    if (result == S_OK && ::ScriptGetFontProperties(l->dc, &l->caches[f], &properties) == S_OK) {
        for (int g = 0; g < glyphs; ++g) {
            missing += l->glyphs[first + g] == properties.wgDefault ? 1 : 0;
        }
    }
    ::SelectObject(l->dc, previous);
    l->first_glyph[r + 1] = first + glyphs;
    return missing;
}

// A font like the context's in another face, kept as fonts[l->font_count] (not yet counted).
bool make_font(TextLayout* l, const wchar_t* face) {
    LOGFONTW font = {};
    if (::GetObjectW(l->fonts[0], sizeof(font), &font) == 0) {
        return false;
    }
    std::wcscpy(font.lfFaceName, face);
    font.lfCharSet = DEFAULT_CHARSET;
    l->fonts[l->font_count] = ::CreateFontIndirectW(&font);
    l->caches[l->font_count] = nullptr;
    return l->fonts[l->font_count] != nullptr;
}

void drop_font(TextLayout* l, int32_t f) {
    ::ScriptFreeCache(&l->caches[f]);
    ::DeleteObject(l->fonts[f]);
    l->fonts[f] = nullptr;
}

// Shape run r in a face, kept as a font of the line when it has all the run's characters.
bool try_face(TextLayout* l, int32_t r, const wchar_t* face) {
    if (l->font_count >= LAYOUT_FONTS) {
        return false;
    }
    if (make_font(l, face) && shape_run(l, r, l->font_count) == 0) {
        l->font_of[r] = l->font_count++;
        return true;
    }
    if (l->fonts[l->font_count] != nullptr) {
        drop_font(l, l->font_count);
    }
    return false;
}

// Shape run r in the first font that has all its characters; when none has, in the
// context's font (the characters show as its missing-glyph box). False when shaping fails.
bool shape_with_fallback(TextLayout* l, int32_t r) {
    int32_t missing = shape_run(l, r, 0);
    for (int32_t f = 1; f < l->font_count && missing != 0; ++f) {
        if (shape_run(l, r, f) == 0) {
            l->font_of[r] = f;
            return true;
        }
    }
    wchar_t own[LF_FACESIZE] = {};
    ::GetTextFaceW(l->dc, LF_FACESIZE, own);
    const WORD script = l->items[r].a.eScript;
    for (const FoundFace& found : found_faces) {
        if (missing != 0 && found.script == script && found.face[0] != L'\0' &&
            ::lstrcmpiW(found.own, own) == 0 && try_face(l, r, found.face)) {
            return true;
        }
    }
    if (missing != 0 && gather_faces(l)) {
        for (int32_t i = 0; i < l->face_count; ++i) {
            if (try_face(l, r, l->faces[i])) {
                FoundFace& found = found_faces[found_next];
                found_next = (found_next + 1) % FOUND_FACES;
                found.script = script;
                std::wcscpy(found.own, own);
                std::wcscpy(found.face, l->faces[i]);
                return true;
            }
        }
    }
    l->font_of[r] = 0;
    missing = shape_run(l, r, 0);
    if (missing > 0 && missing == l->items[r + 1].iCharPos - l->items[r].iCharPos) {
        l->items[r].a.eScript = SCRIPT_UNDEFINED; // shown as the font's boxes
        missing = shape_run(l, r, 0);
    }
    return missing >= 0;
}

// Place run r's glyphs; its advance.
int32_t place_run(TextLayout* l, int32_t r) {
    const int32_t first = l->first_glyph[r], glyphs = l->first_glyph[r + 1] - first;
    const int32_t f = l->font_of[r];
    HGDIOBJ previous = ::SelectObject(l->dc, l->fonts[f]);
    ABC abc = {};
    const HRESULT result =
        ::ScriptPlace(l->dc, &l->caches[f], l->glyphs + first, glyphs, l->attrs + first,
                      &l->items[r].a, l->advances + first, l->offsets + first, &abc);
    int32_t width = result == S_OK ? abc.abcA + static_cast<int32_t>(abc.abcB) + abc.abcC : 0;
    // NOTE: a simple left-to-right run, one glyph a character, takes GDI's own advances,
    // which Wine rounds otherwise than the glyphs' ABC widths for some faces: such text then
    // lands on the pixels GDI's text calls give it (and ASCII's, drawn by GDI, beside it).
    const int32_t start = l->items[r].iCharPos, length = l->items[r + 1].iCharPos - start;
    const SCRIPT_PROPERTIES** scripts = nullptr;
    int script_count = 0;
    const WORD script = l->items[r].a.eScript;
    if (result == S_OK && glyphs == length && length <= 4096 && l->items[r].a.fRTL == 0 &&
        ::ScriptGetProperties(&scripts, &script_count) == S_OK && script < script_count &&
        scripts[script]->fComplex == 0) {
        int ends[4096];
        SIZE size = {};
        if (::GetTextExtentExPointW(l->dc, l->units + start, length, 0, nullptr, ends, &size)) {
            for (int32_t g = 0; g < glyphs; ++g) {
                l->advances[first + g] = ends[g] - (g > 0 ? ends[g - 1] : 0);
            }
            width = ends[length - 1];
        }
    }
    ::SelectObject(l->dc, previous);
    return width;
}

// Split the text into runs and make room for them; false on failure.
bool itemize(TextLayout* l) {
    const size_t per_run = sizeof(int32_t) * 5 + sizeof(SCRIPT_ITEM);
    l->block = heap_alloc((static_cast<size_t>(l->count) + 2) * per_run);
    if (l->block == nullptr) {
        return false;
    }
    l->items = static_cast<SCRIPT_ITEM*>(l->block);
    int32_t* rest = reinterpret_cast<int32_t*>(l->items + l->count + 2);
    l->order = rest;
    l->left = rest + (l->count + 2);
    l->run_width = rest + 2 * (l->count + 2);
    l->font_of = rest + 3 * (l->count + 2);
    l->first_glyph = rest + 4 * (l->count + 2);
    // A left-to-right paragraph, as GDI's text calls take a line; given (though zeroed), the
    // control and state make ScriptItemize run the bidirectional algorithm.
    SCRIPT_CONTROL control = {};
    SCRIPT_STATE state = {};
    int runs = 1;
    l->items[0] = SCRIPT_ITEM{};
    l->items[1].iCharPos = l->count;
    if (l->simple == 0 && ::ScriptItemize(l->units, l->count, l->count + 1, &control, &state,
                                          l->items, &runs) != S_OK) {
        return false;
    }
    l->runs = runs;
    const size_t glyphs = static_cast<size_t>(l->count) * 3 / 2 + 16 * static_cast<size_t>(runs);
    l->glyph_block = heap_alloc(
        glyphs * (sizeof(WORD) + sizeof(SCRIPT_VISATTR) + sizeof(int) + sizeof(GOFFSET)) +
        static_cast<size_t>(l->count) * sizeof(WORD));
    if (l->glyph_block == nullptr) {
        return false;
    }
    l->advances = static_cast<int*>(l->glyph_block);
    l->offsets = reinterpret_cast<GOFFSET*>(l->advances + glyphs);
    l->glyphs = reinterpret_cast<WORD*>(l->offsets + glyphs);
    l->clusters = l->glyphs + glyphs;
    l->attrs = reinterpret_cast<SCRIPT_VISATTR*>(l->clusters + l->count);
    return true;
}

// True when the faces dc's font links to have every one of the characters it lacks: GDI's
// own calls then draw and measure them from those faces, as the platform links them.
bool links_supply(HDC dc, const wchar_t* missing, int32_t count) {
    wchar_t own[LF_FACESIZE] = {};
    wchar_t faces[LINKS_TRIED][LF_FACESIZE] = {};
    ::GetTextFaceW(dc, LF_FACESIZE, own);
    FaceList list = {faces, 0, LINKS_TRIED, own};
    add_linked_faces(&list);
    LOGFONTW font = {};
    if (list.count == 0 ||
        ::GetObjectW(::GetCurrentObject(dc, OBJ_FONT), sizeof(font), &font) == 0) {
        return false;
    }
    bool found[MOST_MISSING] = {};
    int32_t left = count;
    for (int32_t f = 0; f < list.count && left > 0; ++f) {
        std::wcscpy(font.lfFaceName, faces[f]);
        font.lfCharSet = DEFAULT_CHARSET;
        HFONT linked = ::CreateFontIndirectW(&font);
        if (linked == nullptr) {
            continue;
        }
        HGDIOBJ previous = ::SelectObject(dc, linked);
        WORD glyphs[MOST_MISSING];
        if (::GetGlyphIndicesW(dc, missing, count, glyphs, GGI_MARK_NONEXISTING_GLYPHS) !=
            GDI_ERROR) {
            for (int32_t k = 0; k < count; ++k) {
                if (!found[k] && glyphs[k] != 0xFFFF) {
                    found[k] = true;
                    --left;
                }
            }
        }
        ::SelectObject(dc, previous);
        ::DeleteObject(linked);
    }
    return left == 0;
}

// True for a unit GDI's own text call may not draw as the platform's layout would: a
// right-to-left letter, mark or direction control, half of a pair beyond the first plane,
// or a character of a script that needs shaping. Combining accents (U+0300-U+036F) are
// left to GDI, which draws them as it always has.
bool needs_layout_unit(const wchar_t* unit) {
    const wchar_t c = *unit;
    if ((c >= 0xD800 && c <= 0xDFFF) || (c >= 0x0590 && c <= 0x08FF) ||
        (c >= 0xFB1D && c <= 0xFDFF) || (c >= 0xFE70 && c <= 0xFEFF) || c == 0x200F ||
        (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0x061C) {
        return true;
    }
    // Precomposed Hangul syllables need no shaping, though their script is a complex one.
    return c >= 0x0900 && !(c >= 0xAC00 && c <= 0xD7A3) &&
           ::ScriptIsComplex(unit, 1, SIC_COMPLEX) == S_OK;
}

// True when the text needs the platform's layout: a unit above, or a character the font
// itself lacks (another face must give it).
bool needs_layout(HDC dc, const wchar_t* units, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        if (units[i] >= 0x0590 && needs_layout_unit(units + i)) {
            return true;
        }
    }
    WORD glyphs[MOST_MISSING];
    wchar_t missing[MOST_MISSING];
    int32_t lacked = 0;
    for (int32_t at = 0; at < count; at += MOST_MISSING) {
        const int32_t n = count - at < MOST_MISSING ? count - at : MOST_MISSING;
        if (::GetGlyphIndicesW(dc, units + at, n, glyphs, GGI_MARK_NONEXISTING_GLYPHS) ==
            GDI_ERROR) {
            return true;
        }
        for (int32_t k = 0; k < n; ++k) {
            if (glyphs[k] == 0xFFFF && units[at + k] >= 0x20) {
                if (lacked == MOST_MISSING) {
                    return true;
                }
                missing[lacked++] = units[at + k];
            }
        }
    }
    return lacked > 0 && !links_supply(dc, missing, lacked);
}

// True when units need no layout: ASCII only, or the context's font is a symbol font.
bool drawn_as_they_stand(HDC dc, const wchar_t* units, int32_t count) {
    if (::GetTextCharset(dc) == SYMBOL_CHARSET) {
        return true;
    }
    for (int32_t i = 0; i < count; ++i) {
        if (units[i] >= 0x80) {
            return false;
        }
    }
    return true;
}

// Lay the text out as GDI's own call draws it: one run, left to right, a glyph a unit at
// the advances GetTextExtentExPointW gives.
bool place_simple(TextLayout* l) {
    SIZE size = {};
    if (!::GetTextExtentExPointW(l->dc, l->units, l->count, 0, nullptr, l->advances, &size)) {
        return false;
    }
    for (int32_t i = l->count - 1; i > 0; --i) {
        l->advances[i] -= l->advances[i - 1];
    }
    for (int32_t i = 0; i < l->count; ++i) {
        l->clusters[i] = static_cast<WORD>(i);
        l->attrs[i] = SCRIPT_VISATTR{};
        l->attrs[i].fClusterStart = 1;
        l->offsets[i] = GOFFSET{};
    }
    l->first_glyph[0] = 0;
    l->first_glyph[1] = l->count;
    l->font_of[0] = 0;
    l->run_width[0] = size.cx;
    return true;
}

// Order the runs as they show, from the left, and give each its left edge.
bool order_runs(TextLayout* l) {
    BYTE* levels = static_cast<BYTE*>(heap_alloc(static_cast<size_t>(l->runs)));
    if (levels == nullptr) {
        return false;
    }
    for (int32_t r = 0; r < l->runs; ++r) {
        levels[r] = static_cast<BYTE>(l->items[r].a.s.uBidiLevel);
    }
    const bool ordered = ::ScriptLayout(l->runs, levels, l->order, nullptr) == S_OK;
    heap_free(levels);
    l->width = 0;
    for (int32_t v = 0; ordered && v < l->runs; ++v) {
        l->left[l->order[v]] = l->width;
        l->width += l->run_width[l->order[v]];
    }
    return ordered;
}

// The run holding unit (0 <= unit < count).
int32_t run_of(const TextLayout* l, int32_t unit) {
    int32_t low = 0, high = l->runs - 1;
    while (low < high) {
        const int32_t middle = (low + high + 1) / 2;
        if (l->items[middle].iCharPos <= unit) {
            low = middle;
        } else {
            high = middle - 1;
        }
    }
    return low;
}

// Pixels from the left edge to the leading or trailing edge of unit.
int32_t edge_x(const TextLayout* l, int32_t unit, bool trailing) {
    const int32_t r = run_of(l, unit), start = l->items[r].iCharPos;
    const int32_t first = l->first_glyph[r];
    int x = 0;
    ::ScriptCPtoX(unit - start, trailing ? TRUE : FALSE, l->items[r + 1].iCharPos - start,
                  l->first_glyph[r + 1] - first, l->clusters + start, l->attrs + first,
                  l->advances + first, &l->items[r].a, &x);
    return l->left[r] + x;
}

bool low_surrogate(wchar_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// ============================================================================
// Internal helpers: UTF-8 for the selection routines
// ============================================================================

bool select_open(const char* text, int32_t length, SelectText* s) {
    *s = SelectText{};
    const int32_t bytes = utf8_argument_bytes(text, length);
    if (bytes <= 0) {
        return false;
    }
    const size_t units = utf16_units(text, static_cast<size_t>(bytes), nullptr);
    s->units = static_cast<wchar_t*>(heap_alloc(units * sizeof(wchar_t)));
    s->starts = static_cast<int32_t*>(heap_alloc((units + 1) * sizeof(int32_t)));
    if (s->units == nullptr || s->starts == nullptr) {
        return false;
    }
    s->count = static_cast<int32_t>(utf8_to_utf16(text, static_cast<size_t>(bytes), s->units));
    utf8_unit_starts(text, static_cast<size_t>(bytes), s->starts);
    return true;
}

void select_close(SelectText* s) {
    if (s->units != nullptr) {
        heap_free(s->units);
    }
    if (s->starts != nullptr) {
        heap_free(s->starts);
    }
    *s = SelectText{};
}

// The unit of a byte offset, inside a character taken to its start; 0 to count.
int32_t unit_of(const SelectText* s, int32_t offset) {
    if (offset <= 0) {
        return 0;
    }
    int32_t low = 0, high = s->count;
    while (low < high) {
        const int32_t middle = (low + high + 1) / 2;
        if (s->starts[middle] <= offset) {
            low = middle;
        } else {
            high = middle - 1;
        }
    }
    while (low > 0 && low < s->count && s->starts[low - 1] == s->starts[low]) {
        --low; // the first unit of a pair
    }
    return low;
}

// Lay out a selection routine's text in the window's font; the context to end_draw.
HDC select_layout(WindowRecord* record, const SelectText* s, TextLayout* layout) {
    if (record == nullptr || record->hwnd == nullptr || s->count == 0) {
        return nullptr;
    }
    HDC dc = begin_draw(record);
    if (dc != nullptr && !layout_open(dc, s->units, s->count, layout)) {
        end_draw(record, dc, 0);
        return nullptr;
    }
    return dc;
}

} // namespace

// ============================================================================
// Internal routines
// ============================================================================

// Lay out count units of text in dc's font.
bool layout_open(HDC dc, const wchar_t* units, int32_t count, TextLayout* layout) {
    TextLayout& l = *layout;
    l = TextLayout{};
    if (dc == nullptr || units == nullptr || count <= 0) {
        return false;
    }
    l.dc = dc;
    l.units = units;
    l.count = count;
    l.fonts[0] = static_cast<HFONT>(::GetCurrentObject(dc, OBJ_FONT));
    l.font_count = 1;
    TEXTMETRICW metrics = {};
    ::GetTextMetricsW(dc, &metrics);
    l.ascent = metrics.tmAscent;
    l.height = metrics.tmHeight;
    l.simple = needs_layout(dc, units, count) ? 0 : 1;
    bool done = itemize(&l) && (l.simple == 0 || place_simple(&l));
    for (int32_t r = 0; done && l.simple == 0 && r < l.runs; ++r) {
        l.first_glyph[r] = r == 0 ? 0 : l.first_glyph[r];
        done = shape_with_fallback(&l, r);
        l.run_width[r] = done ? place_run(&l, r) : 0;
    }
    done = done && order_runs(&l);
    if (!done) {
        layout_close(&l);
        return false;
    }
    l.glyph_count = l.first_glyph[l.runs];
    return true;
}

// Release what layout_open made.
void layout_close(TextLayout* layout) {
    ::ScriptFreeCache(&layout->caches[0]);
    for (int32_t f = 1; f < layout->font_count; ++f) {
        drop_font(layout, f);
    }
    if (layout->faces != nullptr) {
        heap_free(layout->faces);
    }
    if (layout->glyph_block != nullptr) {
        heap_free(layout->glyph_block);
    }
    if (layout->block != nullptr) {
        heap_free(layout->block);
    }
    *layout = TextLayout{};
}

// Draw the laid-out line with its top left at (x, y).
void layout_draw(TextLayout* l, int32_t x, int32_t y) {
    HDC dc = l->dc;
    const UINT align = ::SetTextAlign(dc, TA_LEFT | TA_BASELINE | TA_NOUPDATECP);
    const int mode = ::GetBkMode(dc);
    if (mode == OPAQUE) {
        const RECT cells = {x, y, x + l->width, y + l->height};
        ::ExtTextOutW(dc, x, y + l->ascent, ETO_OPAQUE, &cells, L"", 0, nullptr);
        ::SetBkMode(dc, TRANSPARENT);
    }
    HGDIOBJ previous = ::GetCurrentObject(dc, OBJ_FONT);
    if (l->simple != 0) {
        ::ExtTextOutW(dc, x, y + l->ascent, 0, nullptr, l->units, static_cast<UINT>(l->count),
                      nullptr);
    }
    for (int32_t v = 0; l->simple == 0 && v < l->runs; ++v) {
        const int32_t r = l->order[v], first = l->first_glyph[r];
        ::SelectObject(dc, l->fonts[l->font_of[r]]);
        ::ScriptTextOut(dc, &l->caches[l->font_of[r]], x + l->left[r], y + l->ascent, 0, nullptr,
                        &l->items[r].a, nullptr, 0, l->glyphs + first,
                        l->first_glyph[r + 1] - first, l->advances + first, nullptr,
                        l->offsets + first);
    }
    ::SelectObject(dc, previous);
    ::SetBkMode(dc, mode);
    ::SetTextAlign(dc, align);
}

// Pixels from the left edge to where a caret before unit stands.
int32_t layout_caret_x(const TextLayout* l, int32_t unit) {
    if (unit >= l->count) {
        return edge_x(l, l->count - 1, true);
    }
    return edge_x(l, unit < 0 ? 0 : unit, false);
}

// The character under pixel x, and the nearest place.
int32_t layout_hit(const TextLayout* l, int32_t x, int32_t* place) {
    const int32_t inner = x < 0 ? 0 : x >= l->width ? l->width - 1 : x;
    int32_t r = l->order[l->runs - 1];
    for (int32_t v = 0; v < l->runs; ++v) {
        if (inner < l->left[l->order[v]] + l->run_width[l->order[v]]) {
            r = l->order[v];
            break;
        }
    }
    const int32_t start = l->items[r].iCharPos, first = l->first_glyph[r];
    int unit = 0, trailing = 0;
    ::ScriptXtoCP(inner - l->left[r], l->items[r + 1].iCharPos - start,
                  l->first_glyph[r + 1] - first, l->clusters + start, l->attrs + first,
                  l->advances + first, &l->items[r].a, &unit, &trailing);
    unit = unit < 0 ? 0 : unit >= l->items[r + 1].iCharPos - start ? unit - 1 : unit;
    int32_t hit = start + unit;
    hit -= hit > 0 && low_surrogate(l->units[hit]) ? 1 : 0;
    int32_t after = start + unit + trailing;
    after += after < l->count && low_surrogate(l->units[after]) ? 1 : 0;
    if (x < 0 || x >= l->width) {
        // Beyond an end: the place at that end of the line, in the run shown there.
        const bool far_side = (x < 0) == (l->items[r].a.fRTL != 0);
        after = far_side ? start + (l->items[r + 1].iCharPos - start) : start;
        hit = -1;
    }
    if (place != nullptr) {
        *place = after;
    }
    return hit;
}

// The stretches the units [from, to) cover, left to right.
int32_t layout_spans(const TextLayout* l, int32_t from, int32_t to, int32_t* spans, int32_t room) {
    from = from < 0 ? 0 : from;
    to = to > l->count ? l->count : to;
    int32_t found = 0, last_right = INT32_MIN;
    for (int32_t v = 0; v < l->runs && from < to; ++v) {
        const int32_t r = l->order[v];
        const int32_t start = l->items[r].iCharPos, end = l->items[r + 1].iCharPos;
        const int32_t a = from > start ? from : start, b = to < end ? to : end;
        if (a >= b) {
            continue;
        }
        const int32_t x1 = edge_x(l, a, false), x2 = edge_x(l, b - 1, true);
        const int32_t left = x1 < x2 ? x1 : x2, right = x1 < x2 ? x2 : x1;
        if (found > 0 && left <= last_right) {
            if (found <= room && right > spans[2 * found - 1]) {
                spans[2 * found - 1] = right; // joins the stretch before it
            }
        } else {
            if (found < room) {
                spans[2 * found] = left;
                spans[2 * found + 1] = right;
            }
            ++found;
        }
        last_right = right > last_right ? right : last_right;
    }
    return found;
}

// Draw count units at dc's current position, moving it past them.
void draw_wide_text(HDC dc, const wchar_t* units, int32_t count) {
    TextLayout layout;
    if (drawn_as_they_stand(dc, units, count) || !layout_open(dc, units, count, &layout)) {
        ::ExtTextOutW(dc, 0, 0, 0, nullptr, units, static_cast<UINT>(count), nullptr);
        return;
    }
    POINT at = {};
    ::GetCurrentPositionEx(dc, &at);
    layout_draw(&layout, at.x, at.y);
    ::MoveToEx(dc, at.x + layout.width, at.y, nullptr);
    layout_close(&layout);
}

// Pixels count units advance in dc's font, as draw_wide_text draws them.
int32_t wide_text_width(HDC dc, const wchar_t* units, int32_t count) {
    TextLayout layout;
    SIZE size = {};
    if (drawn_as_they_stand(dc, units, count) || !layout_open(dc, units, count, &layout)) {
        ::GetTextExtentPoint32W(dc, units, count, &size);
        return size.cx;
    }
    const int32_t width = layout.width;
    layout_close(&layout);
    return width;
}

// ============================================================================
// Public routines
// ============================================================================

// Find the character of a line of UTF-8 text under pixel x, and the nearest place.
int32_t text_char_at_utf8(WindowRecord* record, const char* text, int32_t length, int32_t x,
                          int32_t* place) {
    SelectText s;
    TextLayout layout;
    int32_t hit = -1, at = 0;
    const bool opened = select_open(text, length, &s);
    HDC dc = opened ? select_layout(record, &s, &layout) : nullptr;
    if (dc != nullptr) {
        hit = layout_hit(&layout, x, &at);
        hit = hit < 0 ? -1 : s.starts[hit];
        at = s.starts[at];
        layout_close(&layout);
        end_draw(record, dc, 0);
    }
    select_close(&s);
    if (place != nullptr) {
        *place = at;
    }
    return hit;
}

// Find where a caret before a byte offset of a line of UTF-8 text stands.
int32_t text_caret_x_utf8(WindowRecord* record, const char* text, int32_t length, int32_t place) {
    SelectText s;
    TextLayout layout;
    int32_t x = 0;
    const bool opened = select_open(text, length, &s);
    HDC dc = opened ? select_layout(record, &s, &layout) : nullptr;
    if (dc != nullptr) {
        x = layout_caret_x(&layout, unit_of(&s, place));
        layout_close(&layout);
        end_draw(record, dc, 0);
    }
    select_close(&s);
    return x;
}

// Find the stretches of a line of UTF-8 text that the bytes [from, to) cover.
int32_t text_spans_utf8(WindowRecord* record, const char* text, int32_t length, int32_t from,
                        int32_t to, int32_t* spans, int32_t room) {
    SelectText s;
    TextLayout layout;
    int32_t found = 0;
    const bool opened = select_open(text, length, &s);
    HDC dc = opened ? select_layout(record, &s, &layout) : nullptr;
    if (dc != nullptr) {
        found = layout_spans(&layout, unit_of(&s, from), unit_of(&s, to), spans,
                             spans != nullptr && room > 0 ? room : 0);
        layout_close(&layout);
        end_draw(record, dc, 0);
    }
    select_close(&s);
    return found;
}
