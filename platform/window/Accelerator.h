// Accelerator tables: CreateAcceleratorTableW / CopyAcceleratorTableW /
// DestroyAcceleratorTable.
//
// A table is a copy of the entries it was made from, behind a handle that stays valid
// until DestroyAcceleratorTable. Nothing on this platform translates keys through a
// table; hosts hand them to embedded objects, which may read them back. Any thread.
// Failures return null / 0 / FALSE with the thread's last error
// (ERROR_INVALID_PARAMETER, ERROR_INVALID_HANDLE).
#pragma once

#include "platform/types/WinTypes.h"

XJ_DECLARE_HANDLE(HACCEL);

inline constexpr BYTE FVIRTKEY = 0x01;
inline constexpr BYTE FSHIFT = 0x04;
inline constexpr BYTE FCONTROL = 0x08;
inline constexpr BYTE FALT = 0x10;

struct ACCEL {
    BYTE fVirt = 0;
    WORD key = 0;
    WORD cmd = 0;
};

// Null for no entries.
HACCEL CreateAcceleratorTableW(const ACCEL* entries, int count);
// With null `entries`, the number of entries; else copies up to `count` and returns how
// many were copied.
int CopyAcceleratorTableW(HACCEL table, ACCEL* entries, int count);
BOOL DestroyAcceleratorTable(HACCEL table);
