/* HalvexDll: where is application package N?
 *
 * Loading the library finds the running client view program and loads its
 * package catalogue once; the two exports then answer from it.
 *
 *   ordinal 1  ?Reset@@YAXXZ   void Reset()           (C++ name)
 *   ordinal 2  GetPkgFullPath  int GetPkgFullPath(...) (C, cdecl)
 *
 * A host built with the platform's own C++ compiler links Reset by its name;
 * any other host (MinGW g++, C, scripting languages) resolves ordinal 1 with
 * GetProcAddress(module, MAKEINTRESOURCEA(1)). On Linux, libHalvexDll.so
 * exports GetPkgFullPath and the C++ function Reset() (symbol _Z5Resetv).
 */
#ifndef HALVEXDLL_H
#define HALVEXDLL_H

#include <stdint.h>

#ifdef __cplusplus
/* Makes the next working copy of each list file be taken afresh. The lists
 * are loaded only when the library loads, so this changes no answer of
 * GetPkgFullPath in the running process. */
void Reset();
extern "C" {
#endif

/* Copies the path of package `pkgId` (its virtual-disk path when it has one,
 * otherwise its package path) with a terminating zero into `buf`.
 * Returns 1 on success. Returns 0 and leaves `buf` untouched when the id is
 * unknown, the package has no path to give, `buf` is null, or the text and
 * its terminator do not fit in `bufLen` bytes. The bytes are those of the
 * catalogue, in the system's ANSI code page, unconverted.
 * Any thread may call it at any time between load and unload. */
int GetPkgFullPath(uint32_t pkgId, char* buf, uint32_t bufLen);

typedef int (*PFN_GetPkgFullPath)(uint32_t pkgId, char* buf, uint32_t bufLen);
typedef void (*PFN_Reset)(void);

#ifdef __cplusplus
}
#endif

#endif
