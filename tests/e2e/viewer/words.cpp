// Whole words and characters beyond the first plane in a text document, checked with the
// viewer's own routines in the check's process, where the selection can be read exactly:
// Find's "Whole word" must look at the characters on both sides of a match, and no way of
// placing the selection (a place given, a double-click, a click) may end it between the
// two halves of a surrogate pair, so that a copy never holds half a character.
// Relies on the viewer's library (as the soak does) and views.cpp's clipboard reading.
#include "viewer_check.h"

#include <cwchar>

#include "examples/viewer/viewer.h"

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

// The lines of the test text: Find's rows first, then the line of pairs.
const char* const LINES[] = {
    "sword word",
    "swords word",
    "words word",
    "_word word",
    "\xC3\xA9word word",
    "word",
    "a.word",
    "a\xF0\x9F\x98\x80"
    "b\xF0\x9F\x98\x80\xF0\x9F\x98\x80"
    "c", // a😀b😀😀c
};
constexpr int PAIRS_LINE = 7;

bool low_half(wchar_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Where a place lands in the middle of a pair, for messages; "" when it does not.
std::string split_at(const Document* document, TextPoint at, const char* what) {
    int32_t length = 0;
    const wchar_t* text = text_line(document, at.line, &length);
    if (at.index <= 0 || at.index >= length || !low_half(text[at.index]))
        return "";
    return format("%s at %d:%d, between the halves of a pair; ", what, at.line, at.index);
}

// A lone half of a pair in a text, for messages; "" when there is none.
std::string lone_half(const std::wstring& text) {
    for (size_t i = 0; i < text.size(); i++) {
        const bool high = text[i] >= 0xD800 && text[i] <= 0xDBFF;
        if (high && i + 1 < text.size() && low_half(text[i + 1]))
            i++;
        else if (high || low_half(text[i]))
            return format("a lone half at %d of the copy; ", int(i));
    }
    return "";
}

// Find "word" with Whole word from the start of each of Find's rows: a word that ends or
// starts with it is passed over for the one after it.
void check_whole_words(Document* document) {
    const struct {
        int line, index; // the match, its first unit
    } rows[] = {{0, 6}, {1, 7}, {2, 6}, {3, 6}, {4, 6}, {5, 0}, {6, 2}};
    const FindState kept = viewer.find;
    std::wcscpy(viewer.find.text, L"word");
    viewer.find.match_case = 0;
    viewer.find.whole_word = 1;
    viewer.find.up = 0;
    std::string wrong;
    for (const auto& row : rows) {
        text_select(document, TextPoint{row.line, 0}, TextPoint{row.line, 0});
        text_find(document, 0);
        const TextPoint from = document->anchor, to = document->caret;
        if (from.line != row.line || from.index != row.index || to.line != row.line ||
            to.index != row.index + 4)
            wrong += format("in \"%s\" found %d:%d to %d:%d; ", LINES[row.line], from.line,
                            from.index, to.line, to.index);
    }
    viewer.find = kept;
    report("words: Whole word passes over words that end or start with the one searched for",
           wrong.empty(), wrong);
}

// Every place of the line of pairs given to text_select, double-clicked and clicked: the
// selection's ends stay off the pairs' middles, and a word's copy holds whole characters.
void check_pairs(Document* document) {
    int32_t length = 0;
    text_line(document, PAIRS_LINE, &length);
    std::string wrong;
    for (int32_t i = 0; i <= length; i++) {
        text_select(document, TextPoint{PAIRS_LINE, 0}, TextPoint{PAIRS_LINE, i});
        wrong += split_at(document, document->caret, "a selection's end given");
        text_select(document, TextPoint{PAIRS_LINE, i}, TextPoint{PAIRS_LINE, length});
        wrong += split_at(document, document->anchor, "a selection's start given");
        text_select_word(document, TextPoint{PAIRS_LINE, i});
        wrong += split_at(document, document->anchor, "a double-click's start");
        wrong += split_at(document, document->caret, "a double-click's end");
        clipboard_clear();
        std::wstring copied;
        if (text_copy(document) == 1 && clipboard_read(copied))
            wrong += lone_half(copied);
    }
    report("words: a selection given or double-clicked never splits a character beyond the "
           "first plane",
           wrong.empty(), wrong);
    // Clicks at every pixel across the line, each one a place of its own.
    wrong.clear();
    text_select(document, TextPoint{0, 0}, TextPoint{0, 0});
    const int y = VIEWER_TEXT_MARGIN + (PAIRS_LINE - document->top) * row_height() + 2;
    for (int x = 0; x < 12 * row_height(); x++) {
        const LPARAM at = MAKELPARAM(x, y);
        ::PostMessageA(document->window.hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
        ::PostMessageA(document->window.hwnd, WM_LBUTTONUP, 0, at);
        process_events(1);
        if (document->caret.line != PAIRS_LINE)
            wrong += format("a click at %d,%d placed nothing on the line; ", x, y);
        wrong += split_at(document, document->caret, format("a click at x %d", x).c_str());
        if (wrong.size() > 300)
            break;
    }
    report("words: a click never places the caret inside a character beyond the first plane",
           wrong.empty(), wrong);
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Runs the whole-word and pair checks on a text of their own, in a frame already open.
void run_word_checks(const std::string& folder) {
    const std::string path = folder + "words.txt";
    std::string text;
    for (const char* line : LINES)
        text += std::string(line) + "\r\n";
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ::WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr);
    ::CloseHandle(file);
    Document* document = viewer_open_file(path.c_str());
    for (int slice = 0; document != nullptr && document->reader.file != nullptr && slice < 100;
         slice++)
        viewer_read_some(0);
    if (report("words: the text opens and is read",
               document != nullptr && document->kind == DOC_TEXT &&
                   document->reader.file == nullptr && document->lines.count > PAIRS_LINE,
               "viewer_open_file gave no text read whole")) {
        check_whole_words(document);
        check_pairs(document);
    }
    if (document != nullptr)
        viewer_close_document(document);
    process_events(1);
    ::DeleteFileA(path.c_str());
}
