#ifdef _WIN32
#error "POSIX backend built for Windows"
#endif

// The shared object's load and unload hooks run the module entry as the
// system's loader would: attach after the module's static objects are built,
// detach before they are destroyed. This file is linked after every other
// object of the shared object, so its static object is built last and
// destroyed first.

#include <cstdint>

#include "../OsSystem.h"

extern "C" int OS_STDCALL DllMain(void* hModule, uint32_t dwReason, void* pReserved);

namespace {
struct SModuleEntryHook {
    SModuleEntryHook() { DllMain(nullptr, OS_PROCESS_ATTACH, nullptr); }
    ~SModuleEntryHook() { DllMain(nullptr, OS_PROCESS_DETACH, nullptr); }
} s_moduleEntryHook;
}  // namespace
