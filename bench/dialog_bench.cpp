// The dialog benchmark: showing, painting and ending a dialog of 16 controls, one of every
// kind, each with colours and hot tracking, through the runtime's dialog facility, against
// the platform's own dialog procedure showing the same template without the facility; the
// two are timed in turns, so that both sides of the ratio see the same moments of the
// machine's load. Modeless (shown, painted at once, destroyed) and modal (shown and ended
// from its loop by a posted message). Relies on the runtime in process; prints a table and
// checks nothing. Times come from QueryPerformanceCounter.
// Usage: dialog_bench.exe [--quick]   (--quick: 30 rounds instead of 300)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/dialog/dialog_internal.h"

// ============================================================================
// Module state
// ============================================================================

namespace {

constexpr UINT END_NOW = WM_APP;  // posted at WM_INITDIALOG: the modal dialog ends on it
constexpr int32_t FIRST_ID = 100; // the controls' identifiers: FIRST_ID + kind

LARGE_INTEGER counter_frequency;
WindowRecord form = {}; // the facility's dialog

// ============================================================================
// Internal helpers
// ============================================================================

double now_ms() {
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) /
           static_cast<double>(counter_frequency.QuadPart);
}

double median(std::vector<double> samples) {
    if (samples.empty()) {
        return 0.0;
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

// The facility's handler: a modal form ends on the message it posts itself when it is up.
intptr_t on_form() {
    if (event_state.event_class == WM_INITDIALOG) {
        ::PostMessageA(form.hwnd, END_NOW, 0, 0);
    } else if (event_state.event_class == END_NOW) {
        dialog_end(&form, 1);
    }
    return 0;
}

// The platform's own dialog procedure for the same template, modeless or modal.
INT_PTR CALLBACK plain_procedure(HWND dialog, UINT message, WPARAM, LPARAM modal) {
    if (message == WM_INITDIALOG) {
        if (modal != 0) {
            ::PostMessageA(dialog, END_NOW, 0, 0);
        }
        return TRUE;
    }
    if (message == END_NOW) {
        ::EndDialog(dialog, 1);
        return TRUE;
    }
    return FALSE;
}

// The form: one control of every kind, each coloured and hot-tracking, set before it is
// shown (the definition keeps the settings and applies them at every showing).
void define_form() {
    dialog_begin(&form, 0, 0, 300, 170, "Every kind", on_form);
    for (int32_t kind = 1; kind <= CONTROL_KIND_COUNT; ++kind) {
        const int32_t place = kind - 1;
        dialog_add_control(&form, kind, FIRST_ID + kind, 5 + place % 4 * 72, 5 + place / 4 * 40, 66,
                           30, "One|Two|Three", 0);
        control_set_colors(&form, FIRST_ID + kind, RGB(255, 255, 0), RGB(0, 0, 128));
        control_set_hot(&form, FIRST_ID + kind, RGB(0, 200, 0));
    }
}

// Paint a shown dialog and its controls at once.
void paint_now(HWND dialog) {
    ::RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

double facility_modeless() {
    const double start = now_ms();
    dialog_show(&form, nullptr);
    paint_now(form.hwnd);
    dialog_end(&form, 0);
    return now_ms() - start;
}

double platform_modeless(const void* dialog_template) {
    const double start = now_ms();
    HWND dialog = ::CreateDialogIndirectParamA(runtime_module(),
                                               static_cast<LPCDLGTEMPLATEA>(dialog_template),
                                               nullptr, plain_procedure, 0);
    ::ShowWindow(dialog, SW_SHOW);
    paint_now(dialog);
    ::DestroyWindow(dialog);
    return now_ms() - start;
}

double facility_modal() {
    const double start = now_ms();
    dialog_show_modal(&form, nullptr);
    return now_ms() - start;
}

double platform_modal(const void* dialog_template) {
    const double start = now_ms();
    ::DialogBoxIndirectParamA(runtime_module(), static_cast<LPCDLGTEMPLATEA>(dialog_template),
                              nullptr, plain_procedure, 1);
    return now_ms() - start;
}

// What the facility's store of settings costs alone: the properties a coloured,
// hot-tracking control carries ("LPFN", "FGRND", "BGRND", "BBRUSH", "HTCLR", "HBRUSH",
// "DOHOT") set and removed on each control of a dialog made by the platform.
double property_store(const void* dialog_template) {
    const char* const names[] = {"LPFN", "FGRND", "BGRND", "BBRUSH", "HTCLR", "HBRUSH", "DOHOT"};
    HWND dialog = ::CreateDialogIndirectParamA(runtime_module(),
                                               static_cast<LPCDLGTEMPLATEA>(dialog_template),
                                               nullptr, plain_procedure, 0);
    const double start = now_ms();
    for (HWND c = ::GetWindow(dialog, GW_CHILD); c != nullptr; c = ::GetWindow(c, GW_HWNDNEXT)) {
        for (const char* name : names) {
            ::SetPropA(c, name, reinterpret_cast<HANDLE>(1));
        }
        for (const char* name : names) {
            ::RemovePropA(c, name);
        }
    }
    const double time = now_ms() - start;
    ::DestroyWindow(dialog);
    return time;
}

void row(const char* measure, double facility, double platform, size_t samples) {
    std::printf("| %-44s | %9.2f ms | %9.2f ms | %5.2f x | %zu |\n", measure, facility, platform,
                platform > 0.0 ? facility / platform : 0.0, samples);
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Time both sides in turns and print the table.
int main(int argc, char** argv) {
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    const int32_t rounds = quick ? 30 : 300;
    ::QueryPerformanceFrequency(&counter_frequency);
    runtime_startup();
    define_form();
    // The template the facility builds, for the platform's own procedure; classes made and
    // libraries loaded once, and one unmeasured round of each side.
    for (int32_t kind = 1; kind <= CONTROL_KIND_COUNT; ++kind) {
        control_classes_prepare(kind);
    }
    dialog_register_class();
    void* dialog_template = dialog_template_build(static_cast<DialogDefinition*>(form.dialog_def));
    facility_modeless();
    platform_modeless(dialog_template);
    facility_modal();
    platform_modal(dialog_template);

    std::vector<double> facility[2], platform[2], store;
    for (int32_t i = 0; i < rounds; ++i) {
        facility[0].push_back(facility_modeless());
        platform[0].push_back(platform_modeless(dialog_template));
        facility[1].push_back(facility_modal());
        platform[1].push_back(platform_modal(dialog_template));
        store.push_back(property_store(dialog_template));
        process_events(1);
    }
    global_free(dialog_template);
    dialog_release(&form);

    std::printf("| %-44s | %12s | %12s | %7s | %s |\n", "16 controls of every kind, coloured, hot",
                "facility", "platform", "ratio", "rounds");
    std::printf("|%s|%s|%s|%s|---|\n", std::string(46, '-').c_str(), std::string(14, '-').c_str(),
                std::string(14, '-').c_str(), std::string(9, '-').c_str());
    row("modeless: shown, painted at once, ended", median(facility[0]), median(platform[0]),
        facility[0].size());
    row("modal: shown, ended from its loop", median(facility[1]), median(platform[1]),
        facility[1].size());
    std::printf("| %-44s | %9.2f ms | %12s | %7s | %zu |\n",
                "the settings' store alone: 7 properties", median(store), "", "", store.size());
    return 0;
}
