#ifndef _WIN32
#error "Win32 backend built for another system"
#endif
#include "OsWin32.h"

#include <new>

#include "../OsSync.h"

static_assert(sizeof(CRITICAL_SECTION) <= CCriticalSection::STORAGE_SIZE, "critical section does not fit");
static_assert(alignof(CRITICAL_SECTION) <= CCriticalSection::STORAGE_ALIGN, "critical section alignment");

static CRITICAL_SECTION* Native(unsigned char* p) { return std::launder(reinterpret_cast<CRITICAL_SECTION*>(p)); }

// Spins before it waits: holders keep the lock for about a microsecond.
CCriticalSection::CCriticalSection() { InitializeCriticalSectionAndSpinCount(new (m_abStorage) CRITICAL_SECTION, 4000); }
CCriticalSection::~CCriticalSection() { DeleteCriticalSection(Native(m_abStorage)); }
void CCriticalSection::Lock() { EnterCriticalSection(Native(m_abStorage)); }
void CCriticalSection::Unlock() { LeaveCriticalSection(Native(m_abStorage)); }
