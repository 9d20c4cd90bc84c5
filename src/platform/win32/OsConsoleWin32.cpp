#ifndef _WIN32
#error "Win32 backend built for another system"
#endif
#include "OsWin32.h"

#include "../OsConsole.h"

#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif

namespace {
void (*volatile s_pfnInterrupt)() = nullptr;

BOOL WINAPI OnConsoleCtrl(DWORD dwType) {
    switch (dwType) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
            if (void (*pfn)() = s_pfnInterrupt) {
                pfn();
                return TRUE;
            }
            return FALSE;
        default: return FALSE;
    }
}
}  // namespace

bool OsIsTerminal(int nStream) {
    const HANDLE h = GetStdHandle(nStream == OS_STDERR ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD dwMode = 0;
    if (!OsIsValidHandle(h) || !GetConsoleMode(h, &dwMode)) return false;  // a file or a pipe
    if (dwMode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) return true;
    return SetConsoleMode(h, dwMode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

void OsSetInterruptHandler(void (*pfnHandler)()) {
    s_pfnInterrupt = pfnHandler;
    SetConsoleCtrlHandler(&OnConsoleCtrl, pfnHandler ? TRUE : FALSE);
}
