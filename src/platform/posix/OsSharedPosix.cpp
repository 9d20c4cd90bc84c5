#ifdef _WIN32
#error "POSIX backend built for Windows"
#endif

// A named block is the POSIX shared-memory object of the name with its
// backslash made a dot. A named event is a second such object holding a
// 32-bit word used as a futex: a set stores 1 and wakes one waiter; a waiter
// sleeps while the word is 0 and takes it back to 0 as it wakes, so sets that
// come while it is set merge into one. Objects stay until unlinked by hand or
// a reboot, unlike kernel objects that vanish with their last handle.

#include <fcntl.h>
#include <linux/futex.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <ctime>

#include "../OsShared.h"
#include "../OsSystem.h"
#include "OsPosix.h"

namespace {
// Opens or creates the object at dwSize bytes (a new one is sized; an existing
// smaller one is refused, as a smaller existing mapping cannot be mapped whole).
int OpenObject(const char* pszName, uint32_t dwSize) {
    const std::string strName = OsSharedObjectName(pszName);
    const int fd = shm_open(strName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        OsSetLastErrorFromErrno();
        return -1;
    }
    fchmod(fd, 0666);  // other users' monitors and hosts share it, whatever the umask
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        OsSetLastErrorFromErrno();
        close(fd);
        return -1;
    }
    if (st.st_size == 0 && ftruncate(fd, off_t(dwSize)) != 0) {
        OsSetLastErrorFromErrno();
        close(fd);
        return -1;
    }
    if (st.st_size != 0 && uint64_t(st.st_size) < dwSize) {
        OsSetLastError(OS_ERROR_ACCESS_DENIED);
        close(fd);
        return -1;
    }
    return fd;
}

long Futex(std::atomic<uint32_t>* pWord, int nOp, uint32_t dwValue, const timespec* pTimeout) {
    return syscall(SYS_futex, reinterpret_cast<uint32_t*>(pWord), nOp, dwValue, pTimeout, nullptr, 0);
}
}  // namespace

CSharedMemory::~CSharedMemory() { Close(); }

int CSharedMemory::Create(const char* pszName, uint32_t dwSize) {
    Close();
    const int fd = OpenObject(pszName, dwSize);
    if (fd < 0) return 0;
    m_hMapping = fd + 1;  // 0 stays "no handle"
    m_dwSize = dwSize;
    return 1;
}

void* CSharedMemory::Map() {
    if (!m_hMapping) return nullptr;
    if (m_pView) return m_pView;
    void* p = mmap(nullptr, m_dwSize, PROT_READ | PROT_WRITE, MAP_SHARED, int(m_hMapping - 1), 0);
    if (p == MAP_FAILED) {
        OsSetLastErrorFromErrno();
        return nullptr;
    }
    m_pView = p;
    return p;
}

void CSharedMemory::Unmap() {
    if (m_pView) munmap(m_pView, m_dwSize);
    m_pView = nullptr;
}

void CSharedMemory::Close() {
    Unmap();
    if (m_hMapping) close(int(m_hMapping - 1));
    m_hMapping = 0;
}

CNamedEvent::~CNamedEvent() { Close(); }

int CNamedEvent::Create(const char* pszName) {
    Close();
    const int fd = OpenObject(pszName, sizeof(uint32_t));
    if (fd < 0) return 0;
    void* p = mmap(nullptr, sizeof(uint32_t), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (p == MAP_FAILED) {
        OsSetLastErrorFromErrno();
        close(fd);
        return 0;
    }
    m_hEvent = fd + 1;
    m_pWord = p;
    return 1;
}

int CNamedEvent::Set() {
    if (!m_pWord) return 0;
    auto* pWord = static_cast<std::atomic<uint32_t>*>(m_pWord);
    pWord->store(1, std::memory_order_release);
    Futex(pWord, FUTEX_WAKE, 1, nullptr);
    return 1;
}

int CNamedEvent::Wait(uint32_t dwMilliseconds) {
    if (!m_pWord) return -1;
    auto* pWord = static_cast<std::atomic<uint32_t>*>(m_pWord);
    timespec tsEnd{};
    clock_gettime(CLOCK_MONOTONIC, &tsEnd);
    tsEnd.tv_sec += dwMilliseconds / 1000;
    tsEnd.tv_nsec += long(dwMilliseconds % 1000) * 1000000L;
    if (tsEnd.tv_nsec >= 1000000000L) {
        tsEnd.tv_sec += 1;
        tsEnd.tv_nsec -= 1000000000L;
    }
    for (;;) {
        uint32_t dwOne = 1;
        if (pWord->compare_exchange_strong(dwOne, 0, std::memory_order_acquire)) return 1;
        timespec tsNow{};
        clock_gettime(CLOCK_MONOTONIC, &tsNow);
        timespec tsLeft{tsEnd.tv_sec - tsNow.tv_sec, tsEnd.tv_nsec - tsNow.tv_nsec};
        if (tsLeft.tv_nsec < 0) {
            tsLeft.tv_sec -= 1;
            tsLeft.tv_nsec += 1000000000L;
        }
        if (tsLeft.tv_sec < 0) return 0;
        if (Futex(pWord, FUTEX_WAIT, 0, &tsLeft) != 0 && errno != EAGAIN && errno != EINTR &&
            errno != ETIMEDOUT)
            return -1;
    }
}

void CNamedEvent::Close() {
    if (m_pWord) munmap(m_pWord, sizeof(uint32_t));
    if (m_hEvent) close(int(m_hEvent - 1));
    m_pWord = nullptr;
    m_hEvent = 0;
}
