// The compiler's runtime for 32-bit Windows (libgcc's threads and exception
// tables, the C library's fall-backs for newer msvcrt entries) calls three W
// functions of kernel32 that only the NT line implements. Their import slots
// are defined here, pointing at A calls that do the same for the arguments the
// runtime passes (no semaphore name; ASCII module names), so the program's
// import table names none of them and the program loads on Windows 95.
//
// The i686 release needs this; the x86_64 build takes it too, so that what
// runs under Wine is what ships. This object is linked into the program
// itself, so its slots come before the system's import libraries are searched.
#include <windows.h>

#if defined(__i386__)
#define QN_IMPORT_SLOT(name, bytes) "__imp__" #name "@" #bytes
#else
#define QN_IMPORT_SLOT(name, bytes) "__imp_" #name
#endif

namespace {

HANDLE WINAPI CreateSemaphoreNarrow(LPSECURITY_ATTRIBUTES attributes, LONG initial, LONG maximum,
                                    LPCWSTR name) {
  if (name != nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);  // the runtime makes unnamed ones only
    return nullptr;
  }
  return CreateSemaphoreA(attributes, initial, maximum, nullptr);
}

// An ASCII module name in `out`; false for anything else.
bool AsciiName(LPCWSTR name, char (&out)[MAX_PATH]) {
  size_t i = 0;
  for (; name[i] != L'\0'; ++i) {
    if (i + 1 >= MAX_PATH || name[i] > 0x7F) return false;
    out[i] = static_cast<char>(name[i]);
  }
  out[i] = '\0';
  return true;
}

HMODULE WINAPI GetModuleHandleNarrow(LPCWSTR name) {
  if (name == nullptr) return GetModuleHandleA(nullptr);
  char ascii[MAX_PATH];
  if (!AsciiName(name, ascii)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  return GetModuleHandleA(ascii);
}

HMODULE WINAPI LoadLibraryNarrow(LPCWSTR name) {
  char ascii[MAX_PATH];
  if (name == nullptr || !AsciiName(name, ascii)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  return LoadLibraryA(ascii);
}

}  // namespace

// The slots, under the names the import libraries give them.
extern "C" {
extern decltype(&CreateSemaphoreNarrow)
    const createSemaphoreSlot __asm__(QN_IMPORT_SLOT(CreateSemaphoreW, 16));
decltype(&CreateSemaphoreNarrow) const createSemaphoreSlot = &CreateSemaphoreNarrow;
extern decltype(&GetModuleHandleNarrow)
    const getModuleHandleSlot __asm__(QN_IMPORT_SLOT(GetModuleHandleW, 4));
decltype(&GetModuleHandleNarrow) const getModuleHandleSlot = &GetModuleHandleNarrow;
extern decltype(&LoadLibraryNarrow) const loadLibrarySlot __asm__(QN_IMPORT_SLOT(LoadLibraryW, 4));
decltype(&LoadLibraryNarrow) const loadLibrarySlot = &LoadLibraryNarrow;
}
