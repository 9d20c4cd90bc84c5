// Recursive mutex over the system's native lock.
//
// The native object lives in opaque storage so that no system header reaches
// the core; each backend checks with static_assert that its type fits.
#pragma once

#include <cstddef>

class CCriticalSection {
public:
    CCriticalSection();
    ~CCriticalSection();
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;

    // Recursive: the owning thread may lock again; it is free after as many
    // Unlock calls as Lock calls.
    void Lock();
    void Unlock();

    // Storage size and alignment every backend's native lock must fit in.
    static constexpr std::size_t STORAGE_SIZE = 64;
    static constexpr std::size_t STORAGE_ALIGN = 16;

private:
    alignas(STORAGE_ALIGN) unsigned char m_abStorage[STORAGE_SIZE];
};

// Holds a lock for one scope; released on every way out, exceptions included.
class CScopedLock {
public:
    explicit CScopedLock(CCriticalSection& cs) : m_cs(cs) { m_cs.Lock(); }
    ~CScopedLock() { m_cs.Unlock(); }
    CScopedLock(const CScopedLock&) = delete;
    CScopedLock& operator=(const CScopedLock&) = delete;

private:
    CCriticalSection& m_cs;
};
