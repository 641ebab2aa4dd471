// Platform fault injection: one wrapper per routine of a table, put into this program's
// import address table in place of the platform's routine. While armed, every wrapper
// counts its calls; the chosen routine's chosen calls return its failure value with its
// last error (and an output argument cleared, as the platform clears it) without reaching
// the platform. Relies on the executable's import table naming each routine; which calls
// to fail and what must follow is left to the tests.
#include "tests/faults/injection.h"

#include <windows.h>
#include <mmsystem.h>
#include <olectl.h>

#include <string>
#include <type_traits>

// ============================================================================
// Types
// ============================================================================

namespace {

// One routine of the table and how it fails.
struct Routine {
    const char* name;
    void* wrapper;     // put into the import table
    intptr_t failure;  // the value returned for a failed call
    DWORD error;       // the last error of a failed call
    int32_t clear_arg; // the output argument a failure clears, or -1
    void* platform;    // the platform's routine, read from the import table
    void* target;      // where calls that do not fail go: the platform's, or a replacement
    int32_t calls;     // counted since the last arm
};

// ============================================================================
// Module state
// ============================================================================

constexpr intptr_t INVALID = -1;
constexpr DWORD MEMORY = ERROR_NOT_ENOUGH_MEMORY;

// Every routine: name, failure value, last error, output argument a failure clears.
#define FAULT_ROUTINES(X)                                                                          \
    X(RegisterClassExA, 0, MEMORY, -1)                                                             \
    X(CreateWindowExA, 0, MEMORY, -1)                                                              \
    X(CreateWindowExW, 0, MEMORY, -1)                                                              \
    X(GetDC, 0, MEMORY, -1)                                                                        \
    X(BeginPaint, 0, MEMORY, -1)                                                                   \
    X(CreateCompatibleDC, 0, MEMORY, -1)                                                           \
    X(SaveDC, 0, MEMORY, -1)                                                                       \
    X(CreateCompatibleBitmap, 0, MEMORY, -1)                                                       \
    X(CreatePen, 0, MEMORY, -1)                                                                    \
    X(CreatePenIndirect, 0, MEMORY, -1)                                                            \
    X(CreateSolidBrush, 0, MEMORY, -1)                                                             \
    X(CreateFontIndirectA, 0, MEMORY, -1)                                                          \
    X(CreateMenu, 0, MEMORY, -1)                                                                   \
    X(CreatePopupMenu, 0, MEMORY, -1)                                                              \
    X(AppendMenuA, 0, MEMORY, -1)                                                                  \
    X(AppendMenuW, 0, MEMORY, -1)                                                                  \
    X(InsertMenuA, 0, MEMORY, -1)                                                                  \
    X(InsertMenuW, 0, MEMORY, -1)                                                                  \
    X(CreateAcceleratorTableA, 0, MEMORY, -1)                                                      \
    X(SetTimer, 0, MEMORY, -1)                                                                     \
    X(SetPropA, 0, MEMORY, -1)                                                                     \
    X(GlobalAlloc, 0, MEMORY, -1)                                                                  \
    X(GlobalLock, 0, ERROR_INVALID_HANDLE, -1)                                                     \
    X(HeapCreate, 0, MEMORY, -1)                                                                   \
    X(HeapAlloc, 0, MEMORY, -1)                                                                    \
    X(CreateFileA, INVALID, ERROR_ACCESS_DENIED, -1)                                               \
    X(GetFileSize, INVALID_FILE_SIZE, ERROR_READ_FAULT, -1)                                        \
    X(GetFileSizeEx, 0, ERROR_READ_FAULT, -1)                                                      \
    X(ReadFile, 0, ERROR_READ_FAULT, 3)                                                            \
    X(CreateStreamOnHGlobal, E_OUTOFMEMORY, MEMORY, 2)                                             \
    X(OleLoadPicture, E_OUTOFMEMORY, MEMORY, 4)                                                    \
    X(LoadImageA, 0, MEMORY, -1)                                                                   \
    X(LoadImageW, 0, MEMORY, -1)                                                                   \
    X(GetEnhMetaFileA, 0, MEMORY, -1)                                                              \
    X(GetEnhMetaFileW, 0, MEMORY, -1)                                                              \
    X(LoadIconA, 0, ERROR_RESOURCE_NAME_NOT_FOUND, -1)                                             \
    X(LoadCursorA, 0, ERROR_RESOURCE_NAME_NOT_FOUND, -1)                                           \
    X(FindResourceA, 0, ERROR_RESOURCE_NAME_NOT_FOUND, -1)                                         \
    X(SizeofResource, 0, ERROR_RESOURCE_DATA_NOT_FOUND, -1)                                        \
    X(LoadResource, 0, MEMORY, -1)                                                                 \
    X(LockResource, 0, ERROR_INVALID_HANDLE, -1)                                                   \
    X(LoadLibraryExA, 0, ERROR_MOD_NOT_FOUND, -1)                                                  \
    X(PlaySoundA, 0, MEMORY, -1)                                                                   \
    X(PlaySoundW, 0, MEMORY, -1)                                                                   \
    X(CreateDialogIndirectParamW, 0, MEMORY, -1)                                                   \
    X(MessageBoxA, 0, MEMORY, -1)                                                                  \
    X(MessageBoxW, 0, MEMORY, -1)
enum RoutineIndex : int32_t {
#define FAULT_INDEX(name, failure, error, clear) INDEX_##name,
    FAULT_ROUTINES(FAULT_INDEX)
#undef FAULT_INDEX
        ROUTINE_COUNT
};

// What is counted and failed: calls first .. first + span - 1 (span 0: all from first on)
// of routine, while counting.
struct Arming {
    bool counting;
    int32_t routine;
    int32_t first;
    int32_t span;
};
Arming arming = {false, -1, 0, 0};

// ============================================================================
// Internal helpers
// ============================================================================

// Clear what an output argument points to.
template <typename T> void clear_output(T argument) {
    if constexpr (std::is_pointer_v<T> && std::is_scalar_v<std::remove_pointer_t<T>> &&
                  !std::is_const_v<std::remove_pointer_t<T>>) {
        if (argument != nullptr) {
            *argument = {};
        }
    }
}

template <int32_t I, typename F> struct Wrapper;

// The wrapper of routine I, whose platform type is R (A...).
template <int32_t I, typename R, typename... A> struct Wrapper<I, R(WINAPI*)(A...)> {
    static R WINAPI call(A... args);
};

Routine routines[ROUTINE_COUNT] = {
#define FAULT_ROW(name, failure, error, clear)                                                     \
    {#name,                                                                                        \
     reinterpret_cast<void*>(&Wrapper<INDEX_##name, decltype(&::name)>::call),                     \
     static_cast<intptr_t>(failure),                                                               \
     error,                                                                                        \
     clear,                                                                                        \
     nullptr,                                                                                      \
     nullptr,                                                                                      \
     0},
    FAULT_ROUTINES(FAULT_ROW)
#undef FAULT_ROW
};

template <int32_t I, typename R, typename... A>
R WINAPI Wrapper<I, R(WINAPI*)(A...)>::call(A... args) {
    Routine& routine = routines[I];
    const int32_t call = arming.counting ? ++routine.calls : 0;
    if (!arming.counting || I != arming.routine || call < arming.first ||
        (arming.span != 0 && call >= arming.first + arming.span)) {
        return reinterpret_cast<R(WINAPI*)(A...)>(routine.target)(args...);
    }
    int32_t index = 0;
    ((index++ == routine.clear_arg ? clear_output(args) : void()), ...);
    ::SetLastError(routine.error);
    if constexpr (std::is_pointer_v<R>) {
        return reinterpret_cast<R>(routine.failure);
    } else {
        return static_cast<R>(routine.failure);
    }
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Patch the import table once; the names of table routines it does not import.
const char* injection_install() {
    static std::string missing;
    static bool installed = false;
    if (installed) {
        return missing.c_str();
    }
    installed = true;
    auto* base = reinterpret_cast<BYTE*>(::GetModuleHandleA(nullptr));
    const auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         dll->Name != 0; ++dll) {
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(
            base + (dll->OriginalFirstThunk != 0 ? dll->OriginalFirstThunk : dll->FirstThunk));
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) {
                continue;
            }
            const auto* name =
                reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            const int32_t index = injection_find(reinterpret_cast<const char*>(name->Name));
            if (index < 0 || routines[index].platform != nullptr) {
                continue;
            }
            DWORD protection = 0;
            ::VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), PAGE_READWRITE,
                             &protection);
            routines[index].platform = reinterpret_cast<void*>(slots->u1.Function);
            routines[index].target = routines[index].platform;
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(routines[index].wrapper);
            ::VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), protection,
                             &protection);
        }
    }
    for (const Routine& routine : routines) {
        if (routine.platform == nullptr) {
            missing += std::string(missing.empty() ? "" : " ") + routine.name;
        }
    }
    return missing.c_str();
}

// Number of routines in the table.
int32_t injection_count() {
    return ROUTINE_COUNT;
}

// A routine's name.
const char* injection_name(int32_t routine) {
    return routine >= 0 && routine < ROUTINE_COUNT ? routines[routine].name : "";
}

// The index of a routine's name, or -1.
int32_t injection_find(const char* name) {
    for (int32_t i = 0; i < ROUTINE_COUNT; ++i) {
        if (::lstrcmpA(routines[i].name, name) == 0) {
            return i;
        }
    }
    return -1;
}

// Count every call from 0 and fail the chosen calls of routine.
void injection_arm(int32_t routine, int32_t first, int32_t span) {
    for (Routine& each : routines) {
        each.calls = 0;
    }
    arming = {true, routine, first, span};
}

// Stop counting and failing.
void injection_disarm() {
    arming.counting = false;
    arming.routine = -1;
}

// Calls of a routine since the last arm.
int32_t injection_calls(int32_t routine) {
    return routine >= 0 && routine < ROUTINE_COUNT ? routines[routine].calls : 0;
}

// Send a routine's calls that do not fail to replacement (null: the platform again).
void injection_replace(int32_t routine, void* replacement) {
    if (routine >= 0 && routine < ROUTINE_COUNT) {
        Routine& each = routines[routine];
        each.target = replacement != nullptr ? replacement : each.platform;
    }
}
