// Windows XP support. The exception-handling runtime of the cross toolchain brings in its thread
// library, which calls GetTickCount64, a function that XP's kernel32 lacks; an import of it
// would stop Tessamor.exe from loading there. This import slot takes those calls instead: the
// system's function where it exists, the 32-bit tick count otherwise. (The 64-bit program gets
// the same slot, so that it still loads on the 64-bit editions of XP and Server 2003.)
#include <windows.h>

namespace {

ULONGLONG WINAPI TickCount64() {
  using Function = ULONGLONG(WINAPI*)();
  static const Function system_function =
      reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetTickCount64")));
  return system_function ? system_function() : GetTickCount();
}

}  // namespace

extern "C" {
// The name under which the linker looks for the import: decorated for i686 stdcall, plain on x86-64.
#ifdef _WIN64
void* tessamor_tick_count_import __asm__("__imp_GetTickCount64") = reinterpret_cast<void*>(&TickCount64);
#else
void* tessamor_tick_count_import __asm__("__imp__GetTickCount64@0") = reinterpret_cast<void*>(&TickCount64);
#endif
}
