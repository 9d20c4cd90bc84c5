// The live log channel: a ring of 127 lines in named shared memory.
//
// Block "Global<channel>.mem", 131072 bytes, little-endian:
//   offset 0       4     reserved, 0
//   offset 4       4     nNextSlot: slot the next line takes, 0 to 126
//   offset 8       4     reserved, 0
//   offset 12+1020*i     slot i (i = 0..126):
//                  4     dwLevel: the line's level
//                  1016  szText: the line, newline included, NUL, zeros
//   offset 129552  1520  reserved, 0
// Event "Global<channel>.evt", auto-reset: set once per posted line.
#pragma once

#include <cstdint>

constexpr uint32_t RING_BLOCK_SIZE = 0x20000;
constexpr uint32_t RING_SLOTS = 127;
constexpr uint32_t RING_SLOT_SIZE = 1020;
constexpr uint32_t RING_TEXT_SIZE = RING_SLOT_SIZE - 4;
constexpr uint32_t RING_HEADER_SIZE = 12;

struct SRingSlot {
    uint32_t dwLevel;
    char szText[RING_TEXT_SIZE];
};

struct SRingHeader {
    uint32_t dwReserved0;
    uint32_t nNextSlot;
    uint32_t dwReserved1;
    SRingSlot aSlots[RING_SLOTS];
};

static_assert(sizeof(SRingSlot) == RING_SLOT_SIZE, "slot layout");
static_assert(sizeof(SRingHeader) == RING_HEADER_SIZE + RING_SLOTS * RING_SLOT_SIZE, "ring layout");
static_assert(sizeof(SRingHeader) + 1520 == RING_BLOCK_SIZE, "block layout");

class CSharedMemory;
class CNamedEvent;

class CLogChannel {
public:
    CLogChannel() = default;
    ~CLogChannel();  // releases what this process holds; the library never calls Close
    CLogChannel(const CLogChannel&) = delete;
    CLogChannel& operator=(const CLogChannel&) = delete;

    // Creates or opens both objects for the channel name ("\host"), maps the
    // block and zero-fills it. 1 on success; 0 leaves the channel off.
    int Open(const char* pszName);
    void Close();
    // Writes one line with its level into the next slot and sets the event.
    // Does nothing while the channel is off. Called under the logger lock.
    void Post(const char* pszLine, uint32_t dwLevel);

    bool IsOn() const { return m_pRing != nullptr; }

    CNamedEvent* m_hEvent = nullptr;
    CSharedMemory* m_hMapping = nullptr;
    void* m_pView = nullptr;
    SRingHeader* m_pRing = nullptr;
};
