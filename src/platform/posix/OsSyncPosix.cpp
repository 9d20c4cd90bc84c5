#ifdef _WIN32
#error "POSIX backend built for Windows"
#endif

// A recursive lock over glibc's adaptive mutex: a thread that finds it taken
// spins briefly before it sleeps. Lookups hold the catalogue's lock for about
// a microsecond; a plain recursive mutex put every contending thread to sleep
// in the kernel and woke it again, which made two threads several times
// slower together than one alone. Recursion is counted here, by the owner.

#include <pthread.h>

#include <atomic>
#include <new>

#include "../OsSync.h"

namespace {
struct SRecursiveLock {
    pthread_mutex_t mutex;
    std::atomic<pthread_t> owner;  // the holder, or a null id; written only by the holder
    unsigned nDepth;                // touched only by the holder
};
}  // namespace

static_assert(sizeof(SRecursiveLock) <= CCriticalSection::STORAGE_SIZE, "lock does not fit");
static_assert(alignof(SRecursiveLock) <= CCriticalSection::STORAGE_ALIGN, "lock alignment");

constexpr int SPIN_LIMIT = 2000;

static inline void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

static SRecursiveLock* Native(unsigned char* p) { return std::launder(reinterpret_cast<SRecursiveLock*>(p)); }

CCriticalSection::CCriticalSection() {
    auto* pLock = new (m_abStorage) SRecursiveLock;
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
#ifdef PTHREAD_ADAPTIVE_MUTEX_INITIALIZER_NP
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_ADAPTIVE_NP);
#endif
    pthread_mutex_init(&pLock->mutex, &attr);
    pthread_mutexattr_destroy(&attr);
    pLock->owner.store(pthread_t(), std::memory_order_relaxed);
    pLock->nDepth = 0;
}

CCriticalSection::~CCriticalSection() {
    SRecursiveLock* pLock = Native(m_abStorage);
    pthread_mutex_destroy(&pLock->mutex);
    pLock->~SRecursiveLock();
}

void CCriticalSection::Lock() {
    SRecursiveLock* pLock = Native(m_abStorage);
    const pthread_t self = pthread_self();
    // Only this thread ever stores its own id, and it clears it before it
    // lets go: a match means this thread holds the lock now.
    if (pthread_equal(pLock->owner.load(std::memory_order_relaxed), self)) {
        ++pLock->nDepth;
        return;
    }
    // Spin a while first: holders keep it for about a microsecond, far less
    // than a sleep and a wake-up in the kernel cost.
    for (int nSpin = 0; pthread_mutex_trylock(&pLock->mutex) != 0; ++nSpin) {
        if (nSpin == SPIN_LIMIT) {
            pthread_mutex_lock(&pLock->mutex);
            break;
        }
        CpuRelax();
    }
    pLock->owner.store(self, std::memory_order_relaxed);
    pLock->nDepth = 1;
}

void CCriticalSection::Unlock() {
    SRecursiveLock* pLock = Native(m_abStorage);
    if (--pLock->nDepth == 0) {
        pLock->owner.store(pthread_t(), std::memory_order_relaxed);
        pthread_mutex_unlock(&pLock->mutex);
    }
}
