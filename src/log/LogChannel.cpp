// The live channel's writer.
//
// Writer order per line: claim slot i and advance nNextSlot, clear slot i,
// store the level, copy the text, set the event. A reader that looks between
// the claim and the event may meet the slot cleared or half written.
//
// The claim is one compare-and-swap on nNextSlot. A plain read and store let
// two processes posting at once take the same slot, so one line overwrote the
// other's.
#include "LogChannel.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "../platform/OsShared.h"

namespace {
// Takes the slot index from the shared header and leaves the next one there.
// An index of 127 or more (left by a writer that does not claim this way, or
// a damaged block) is brought back into range before it addresses a slot.
uint32_t ClaimSlot(uint32_t* pNextSlot) {
    uint32_t nFound = __atomic_load_n(pNextSlot, __ATOMIC_RELAXED);
    for (;;) {
        const uint32_t nSlot = nFound < RING_SLOTS ? nFound : nFound % RING_SLOTS;
        const uint32_t nNext = nSlot + 1 < RING_SLOTS ? nSlot + 1 : 0;
        if (__atomic_compare_exchange_n(pNextSlot, &nFound, nNext, false, __ATOMIC_ACQ_REL, __ATOMIC_RELAXED))
            return nSlot;
    }
}
}  // namespace

CLogChannel::~CLogChannel() { Close(); }

int CLogChannel::Open(const char* pszName) {
    Close();
    char szMemName[128];
    char szEventName[128];
    snprintf(szMemName, sizeof(szMemName), "Global%s.mem", pszName);
    snprintf(szEventName, sizeof(szEventName), "Global%s.evt", pszName);

    m_hMapping = new (std::nothrow) CSharedMemory;
    if (m_hMapping && !m_hMapping->Create(szMemName, RING_BLOCK_SIZE)) {
        delete m_hMapping;
        m_hMapping = nullptr;
    }
    m_hEvent = new (std::nothrow) CNamedEvent;
    if (m_hEvent && !m_hEvent->Create(szEventName)) {
        delete m_hEvent;
        m_hEvent = nullptr;
    }
    if (!m_hMapping || !m_hEvent) {
        Close();
        return 0;
    }
    m_pView = m_hMapping->Map();
    if (!m_pView) {
        Close();
        return 0;
    }
    // Every open wipes the ring, also one that other processes are using.
    memset(m_pView, 0, RING_BLOCK_SIZE);
    m_pRing = static_cast<SRingHeader*>(m_pView);
    return 1;
}

void CLogChannel::Close() {
    if (m_pView) {
        m_hMapping->Unmap();
        m_pView = nullptr;
        m_pRing = nullptr;
    }
    delete m_hMapping;  // closes the block
    m_hMapping = nullptr;
    delete m_hEvent;
    m_hEvent = nullptr;
}

void CLogChannel::Post(const char* pszLine, uint32_t dwLevel) {
    if (!m_pRing) return;
    SRingSlot& slot = m_pRing->aSlots[ClaimSlot(&m_pRing->nNextSlot)];
    memset(&slot, 0, sizeof(slot));
    slot.dwLevel = dwLevel;
    size_t nLength = strlen(pszLine);
    if (nLength < RING_TEXT_SIZE) {
        memcpy(slot.szText, pszLine, nLength + 1);
    } else {
        // Too long for the slot: cut, and still end the text with its newline.
        nLength = RING_TEXT_SIZE - 2;
        memcpy(slot.szText, pszLine, nLength);
        slot.szText[nLength] = '\n';
        slot.szText[nLength + 1] = 0;
    }
    m_hEvent->Set();
}
