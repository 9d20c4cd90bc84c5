// Reader side of the live log channel: follows the ring of a mapped block and
// hands each new complete line to a callback, oldest first.
//
// The writer publishes only nNextSlot, not a count of lines, so a reader cannot
// count how often the writer went round. Falling behind is estimated from the
// slots instead: the reader keeps a fingerprint of the last line it read (the
// slot just before its read position). A writer that stays less than 127 lines
// ahead never touches that slot; one that went round at least once (127 lines
// or more since the last poll) has overwritten it, and a new writer's zero
// fill has emptied it. So a changed fingerprint there means lines were lost:
// the reader says so and takes the whole ring, oldest first. An identical line
// written into that very slot a lap later goes unnoticed.
//
// A slot is complete when its text ends with "\n" before the NUL (every line
// the writer posts does). The writer advances nNextSlot before it clears and
// fills the slot, so the newest few slots of a window may still be in flight:
// incomplete, or still showing the line the reader found there a lap ago. The
// reader stops before such a slot and retries it at the next poll; after
// several polls it takes the slot as it is (an incomplete one is passed by: a
// writer that died half way; an unchanged one is printed: the same text again).
#pragma once

#include <cstdint>
#include <cstring>

#include "log/LogChannel.h"

class CRingReader {
public:
    // Slots at the end of a window that may still be being written.
    static constexpr uint32_t IN_FLIGHT_SLOTS = 4;
    static constexpr int STALL_POLLS = 3;

    explicit CRingReader(const SRingHeader* pRing) : m_pRing(pRing) {}

    // Takes the current position. With bHistory the first poll also yields
    // the lines already in the ring.
    void Start(bool bHistory) {
        m_nRead = NextSlot();
        // Without history the lines in the ring now count as read.
        for (uint32_t s = 0; s < RING_SLOTS; ++s) m_aqFingerprint[s] = bHistory ? 0 : Fingerprint(s);
        m_bHistory = bHistory;
    }

    // Calls fnLine(level, text) for each new complete line, oldest first. Returns
    // true when lines were lost since the previous poll.
    template <class F>
    bool Poll(F&& fnLine) {
        const uint32_t nNext = NextSlot();
        const uint32_t nPrev = (m_nRead + RING_SLOTS - 1) % RING_SLOTS;
        bool bLost = false;
        uint32_t nStart = m_nRead;
        uint32_t nCount = (nNext + RING_SLOTS - m_nRead) % RING_SLOTS;
        if (m_bHistory) {
            nStart = nNext;
            nCount = RING_SLOTS;
            m_bHistory = false;
        } else if (m_aqFingerprint[nPrev] != 0 && Fingerprint(nPrev) != m_aqFingerprint[nPrev]) {
            bLost = true;
            nStart = nNext;
            nCount = RING_SLOTS;
        }
        for (uint32_t k = 0; k < nCount; ++k) {
            const uint32_t s = (nStart + k) % RING_SLOTS;
            SRingSlot slot;
            memcpy(&slot, &m_pRing->aSlots[s], sizeof(slot));
            const uint64_t qFingerprint = Fingerprint(slot);
            // Claimed but not yet cleared, the slot still shows the line of a
            // lap ago: as much in flight as a cleared or half-copied one.
            const bool bUnchanged = qFingerprint != 0 && qFingerprint == m_aqFingerprint[s];
            if ((qFingerprint == 0 || bUnchanged) && nCount - k <= IN_FLIGHT_SLOTS && m_nStall < STALL_POLLS) {
                ++m_nStall;
                m_nRead = s;  // wait for it
                return bLost;
            }
            m_aqFingerprint[s] = qFingerprint;
            if (qFingerprint == 0) continue;  // never completed: passed by
            m_nStall = 0;
            fnLine(slot.dwLevel, slot.szText);  // unchanged after the wait: the same text again
        }
        m_nStall = 0;
        m_nRead = (nStart + nCount) % RING_SLOTS;
        return bLost;
    }

private:
    uint32_t NextSlot() const {
        const uint32_t n = __atomic_load_n(&m_pRing->nNextSlot, __ATOMIC_ACQUIRE);
        return n < RING_SLOTS ? n : n % RING_SLOTS;
    }

    static bool IsComplete(const SRingSlot& slot) {
        const void* pNul = memchr(slot.szText, 0, sizeof(slot.szText));
        if (!pNul) return false;
        const size_t nLength = size_t(static_cast<const char*>(pNul) - slot.szText);
        return nLength > 0 && slot.szText[nLength - 1] == '\n';
    }

    // 0 stands for "unknown": an incomplete slot, whose change means nothing.
    static uint64_t Fingerprint(const SRingSlot& slot) {
        if (!IsComplete(slot)) return 0;
        uint64_t q = 14695981039346656037ull;  // FNV-1a
        auto mix = [&q](uint8_t b) { q = (q ^ b) * 1099511628211ull; };
        for (int i = 0; i < 4; ++i) mix(uint8_t(slot.dwLevel >> (8 * i)));
        for (const char* p = slot.szText; *p; ++p) mix(uint8_t(*p));
        return q ? q : 1;
    }

    uint64_t Fingerprint(uint32_t s) const {
        SRingSlot slot;
        memcpy(&slot, &m_pRing->aSlots[s], sizeof(slot));
        return Fingerprint(slot);
    }

    const SRingHeader* m_pRing;
    uint32_t m_nRead = 0;
    int m_nStall = 0;
    bool m_bHistory = false;
    uint64_t m_aqFingerprint[RING_SLOTS] = {};
};
