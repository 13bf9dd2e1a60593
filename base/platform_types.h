// The few platform types and constants every layer uses: on Windows from <windows.h>, elsewhere
// declared here with the platform's sizes and values (message box styles and results, MAX_PATH).
#pragma once
#include <cstdint>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;

// Message box styles and results, as the platform defines them.
enum : unsigned {
  MB_OK = 0x0,
  MB_OKCANCEL = 0x1,
  MB_ICONHAND = 0x10,
  MB_ICONQUESTION = 0x20,
  MB_ICONEXCLAMATION = 0x30,
  MB_ICONINFORMATION = 0x40,
};
enum : int { IDOK = 1, IDCANCEL = 2 };
#ifndef MAX_PATH
#define MAX_PATH 260
#endif
#endif

// The file formats' fields are fixed-size on every platform: a 64-bit build must not widen them.
static_assert(sizeof(BYTE) == 1 && sizeof(WORD) == 2 && sizeof(DWORD) == 4 && sizeof(LONG) == 4,
              "Win32 field types keep their sizes");
