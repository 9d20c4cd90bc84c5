#ifdef _WIN32
#error "POSIX backend built for Windows"
#endif

#include <pthread.h>

#include <new>

#include "../OsSync.h"

static_assert(sizeof(pthread_mutex_t) <= CCriticalSection::STORAGE_SIZE, "mutex does not fit");
static_assert(alignof(pthread_mutex_t) <= CCriticalSection::STORAGE_ALIGN, "mutex alignment");

static pthread_mutex_t* Native(unsigned char* p) { return std::launder(reinterpret_cast<pthread_mutex_t*>(p)); }

CCriticalSection::CCriticalSection() {
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(new (m_abStorage) pthread_mutex_t, &attr);
    pthread_mutexattr_destroy(&attr);
}

CCriticalSection::~CCriticalSection() { pthread_mutex_destroy(Native(m_abStorage)); }

void CCriticalSection::Lock() { pthread_mutex_lock(Native(m_abStorage)); }

void CCriticalSection::Unlock() { pthread_mutex_unlock(Native(m_abStorage)); }
