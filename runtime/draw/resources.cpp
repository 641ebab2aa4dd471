// Resources of the program's own module: resolving typed resource names, types and
// numbers, and resource_load, which copies a resource into a string, a memory block or an
// address variable. Relies on KERNEL32's resource calls and the core's global blocks; the
// image loader reads "RTIMAGE" pictures through it.
#include <cstring>

#include "runtime/draw/draw_internal.h"

// ============================================================================
// Types
// ============================================================================

namespace {

// A resource name or type resolved from a typed argument.
struct ResourceId {
    char text[256]; // copy of a string name, cut to 255 characters
    LPCSTR id;      // text, or a number made into a resource identifier
};

} // namespace

// ============================================================================
// Module state
// ============================================================================

namespace {

constexpr DWORD STRING_VARIABLE_SIZE = 255; // bytes of a string variable, terminator included

} // namespace

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

constexpr uintptr_t RESOURCE_NUMBER_LIMIT = 0x10000; // resource numbers have 16 bits

bool tag_has_variable(TypeTag tag) {
    return (tag >> 16) != 0;
}

// Fill id from a typed resource name or type; false for a kind that names nothing.
bool resolve_resource_id(const void* argument, TypeTag tag, ResourceId* id) {
    switch (tag_code(tag)) {
    case TYPE_STRING:
        if (argument == nullptr) {
            return false;
        }
        ::lstrcpynA(id->text, static_cast<const char*>(argument), sizeof id->text);
        id->id = id->text;
        return true;
    case TYPE_INT:
    case TYPE_UINT: {
        WORD number = 0;
        if (!resource_number(argument, tag, &number)) {
            return false;
        }
        id->id = MAKEINTRESOURCEA(number);
        return true;
    }
    case TYPE_WORD: {
        if (tag_has_variable(tag) && argument == nullptr) {
            return false;
        }
        WORD number = tag_has_variable(tag)
                          ? *static_cast<const uint16_t*>(argument)
                          : static_cast<WORD>(reinterpret_cast<uintptr_t>(argument));
        id->id = MAKEINTRESOURCEA(number);
        return true;
    }
    default:
        return false;
    }
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// The resource number of a code-2 or code-19 argument; false when it names no resource.
bool resource_number(const void* argument, TypeTag tag, WORD* number) {
    uintptr_t value = 0;
    if (tag_has_variable(tag)) {
        if (argument == nullptr) {
            return false;
        }
        value = *static_cast<const uint32_t*>(argument);
    } else {
        value = reinterpret_cast<uintptr_t>(argument);
    }
    if (value >= RESOURCE_NUMBER_LIMIT) {
        return false;
    }
    *number = static_cast<WORD>(value);
    return true;
}

// Copy a resource of the program's module into a string, a block or an address variable.
int32_t resource_load(const void* name, TypeTag name_tag, const void* type, TypeTag type_tag,
                      void* destination, TypeTag destination_tag) {
    ResourceId resource_name;
    ResourceId resource_type;
    if (!resolve_resource_id(name, name_tag, &resource_name) ||
        !resolve_resource_id(type, type_tag, &resource_type) || destination == nullptr) {
        return 0;
    }
    HMODULE module = ::GetModuleHandleA(nullptr);
    HRSRC found = ::FindResourceA(module, resource_name.id, resource_type.id);
    if (found == nullptr) {
        return 0;
    }
    DWORD size = ::SizeofResource(module, found);
    HGLOBAL loaded = ::LoadResource(module, found);
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (size == 0 || bytes == nullptr) {
        return 0;
    }
    switch (tag_code(destination_tag)) {
    case TYPE_STRING: {
        // A string variable holds 255 bytes: a longer resource is cut, never overrun.
        const DWORD length = size < STRING_VARIABLE_SIZE ? size : STRING_VARIABLE_SIZE - 1;
        std::memcpy(destination, bytes, length);
        static_cast<char*>(destination)[length] = '\0';
        return 1;
    }
    case TYPE_INT:
    case TYPE_UINT:
        // A 32-bit variable receives the address only where addresses have 32 bits;
        // elsewhere it cannot hold one, and the copy fails rather than write past it.
        if (!tag_has_variable(destination_tag) || sizeof(bytes) > sizeof(uint32_t)) {
            return 0;
        }
        *static_cast<uint32_t*>(destination) =
            static_cast<uint32_t>(reinterpret_cast<uintptr_t>(bytes));
        return 1;
    case TYPE_BLOCK: {
        void* block = nullptr;
        if (global_alloc_zeroed(&block, static_cast<int32_t>(size) + 1, 1) == -1 ||
            block == nullptr) {
            return 0;
        }
        std::memcpy(block, bytes, size);
        *static_cast<void**>(destination) = block;
        return 1;
    }
    case TYPE_POINTER:
        *static_cast<const void**>(destination) = bytes;
        return 1;
    default:
        return 0;
    }
}
