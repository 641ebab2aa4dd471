// Platform fault injection for this test program: its own import address table is patched
// so that each routine of a table (the creating and reading calls of the runtime, the game
// and the viewer) passes through a wrapper that counts its calls and fails chosen ones the
// way Win32 reports failure: the routine's failure value, with SetLastError.
// Relies on the runtime, game and viewer being linked into this executable statically, so
// that their platform calls go through its import table. What a failure must lead to is
// the tests' to judge.
#pragma once

#include <cstdint>

// ============================================================================
// Public routines
// ============================================================================

// Patch the import table once; the names of table routines not imported (empty: all were).
const char* injection_install();
// Number of routines in the table, a routine's name, and the index of a name (-1 unknown).
int32_t injection_count();
const char* injection_name(int32_t routine);
int32_t injection_find(const char* name);
// Count every routine's calls from 0 and fail calls first .. first + span - 1 of routine
// (span 0: every call from first on); routine -1 fails nothing.
void injection_arm(int32_t routine, int32_t first, int32_t span);
// Stop counting and failing.
void injection_disarm();
// Calls of a routine counted since the last arm.
int32_t injection_calls(int32_t routine);
// Send a routine's calls that do not fail to replacement instead of the platform (null:
// to the platform again).
void injection_replace(int32_t routine, void* replacement);
