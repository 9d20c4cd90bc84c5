#ifndef _WIN32
#error "Win32 backend built for another system"
#endif
#include "OsWin32.h"

#include "../OsShared.h"

CSharedMemory::~CSharedMemory() { Close(); }

int CSharedMemory::Create(const char* pszName, uint32_t dwSize) {
    Close();
    const HANDLE h = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, dwSize, pszName);
    if (!h) return 0;
    m_hMapping = reinterpret_cast<intptr_t>(h);
    m_dwSize = dwSize;
    return 1;
}

void* CSharedMemory::Map() {
    if (!m_hMapping) return nullptr;
    if (!m_pView) m_pView = MapViewOfFile(reinterpret_cast<HANDLE>(m_hMapping), FILE_MAP_ALL_ACCESS, 0, 0, m_dwSize);
    return m_pView;
}

void CSharedMemory::Unmap() {
    if (m_pView) UnmapViewOfFile(m_pView);
    m_pView = nullptr;
}

void CSharedMemory::Close() {
    Unmap();
    if (m_hMapping) CloseHandle(reinterpret_cast<HANDLE>(m_hMapping));
    m_hMapping = 0;
}

CNamedEvent::~CNamedEvent() { Close(); }

int CNamedEvent::Create(const char* pszName) {
    Close();
    const HANDLE h = CreateEventA(nullptr, FALSE, FALSE, pszName);
    if (!h) return 0;
    m_hEvent = reinterpret_cast<intptr_t>(h);
    return 1;
}

int CNamedEvent::Set() { return m_hEvent && SetEvent(reinterpret_cast<HANDLE>(m_hEvent)) ? 1 : 0; }

int CNamedEvent::Wait(uint32_t dwMilliseconds) {
    if (!m_hEvent) return -1;
    switch (WaitForSingleObject(reinterpret_cast<HANDLE>(m_hEvent), dwMilliseconds)) {
        case WAIT_OBJECT_0: return 1;
        case WAIT_TIMEOUT: return 0;
        default: return -1;
    }
}

void CNamedEvent::Close() {
    if (m_hEvent) CloseHandle(reinterpret_cast<HANDLE>(m_hEvent));
    m_hEvent = 0;
}
