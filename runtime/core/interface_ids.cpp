// Interface identifiers: 128-bit GUIDs written field by field in the standard layout,
// for the platform's object interfaces (the picture loader asks for IPicture by one).
// Relies on nothing beyond the GUID record of <windows.h>.
// Loading pictures themselves is runtime/draw's.
#include "runtime/core/core_internal.h"

#include <cstring>

// ============================================================================
// Public routines
// ============================================================================

// Write a 128-bit interface identifier in the standard layout.
int32_t guid_make(GUID* destination, uint32_t data1, uint16_t data2, uint16_t data3,
                  const uint8_t data4[8]) {
    destination->Data1 = data1;
    destination->Data2 = data2;
    destination->Data3 = data3;
    std::memcpy(destination->Data4, data4, 8);
    return 0;
}
