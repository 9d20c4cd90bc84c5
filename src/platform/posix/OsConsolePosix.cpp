#ifdef _WIN32
#error "POSIX backend built for Windows"
#endif

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "../OsConsole.h"

namespace {
void (*volatile s_pfnInterrupt)() = nullptr;

void OnSignal(int) {
    if (void (*pfn)() = s_pfnInterrupt) pfn();
}
}  // namespace

bool OsIsTerminal(int nStream) {
    if (!isatty(nStream)) return false;
    const char* pszTerm = getenv("TERM");
    return !pszTerm || strcmp(pszTerm, "dumb") != 0;
}

void OsSetInterruptHandler(void (*pfnHandler)()) {
    s_pfnInterrupt = pfnHandler;
    struct sigaction sa {};
    sa.sa_handler = pfnHandler ? &OnSignal : SIG_DFL;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}
