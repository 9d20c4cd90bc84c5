// Named shared memory and named auto-reset events, visible to every process
// of the machine under the same name.
//
// Names are Windows kernel object names such as "Global\host.mem". The POSIX
// backend turns the backslash into a dot and makes a POSIX shared-memory
// object of the result ("/Global.host.mem", found in /dev/shm).
#pragma once

#include <cstdint>

class CSharedMemory {
public:
    CSharedMemory() = default;
    ~CSharedMemory();  // unmaps and closes
    CSharedMemory(const CSharedMemory&) = delete;
    CSharedMemory& operator=(const CSharedMemory&) = delete;

    // Creates the named block of dwSize bytes, or opens it when it exists.
    // 1 on success, 0 on failure.
    int Create(const char* pszName, uint32_t dwSize);
    // Maps the whole block for reading and writing; null on failure.
    void* Map();
    void Unmap();
    void Close();  // unmaps too
    bool IsOpen() const { return m_hMapping != 0; }

private:
    intptr_t m_hMapping = 0;
    void* m_pView = nullptr;
    uint32_t m_dwSize = 0;
};

// An auto-reset event: a set wakes one waiter and resets itself; sets that
// come while it is already set merge into one. Created not set.
class CNamedEvent {
public:
    CNamedEvent() = default;
    ~CNamedEvent();
    CNamedEvent(const CNamedEvent&) = delete;
    CNamedEvent& operator=(const CNamedEvent&) = delete;

    int Create(const char* pszName);  // creates or opens; 1 on success
    int Set();                        // 1 on success
    // Waits until set or the timeout ends: 1 when it was set (and is reset
    // now), 0 on timeout, -1 on failure.
    int Wait(uint32_t dwMilliseconds);
    void Close();
    bool IsOpen() const { return m_hEvent != 0; }

private:
    intptr_t m_hEvent = 0;
    void* m_pWord = nullptr;  // POSIX: the mapped futex word
};
