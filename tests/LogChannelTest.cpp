#include <atomic>
#include <cstring>
#include <set>
#include <string>
#include <thread>

#include "LoggerTestSupport.h"
#include "log/LogChannel.h"
#include "platform/OsShared.h"

using namespace logtest;

namespace {
class LogChannelTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_strName = UniqueChannelName("lc");
        m_strChannel = "\\" + m_strName;
    }
    void TearDown() override { UnlinkChannel(m_strName); }

    std::string EventName() const { return "Global" + m_strChannel + ".evt"; }

    // The slot holds exactly strText, then zeros to its end.
    static void ExpectSlot(const SRingSlot& slot, uint32_t dwLevel, const std::string& strText) {
        EXPECT_EQ(dwLevel, slot.dwLevel);
        ASSERT_LT(strText.size(), sizeof(slot.szText));
        EXPECT_EQ(strText, std::string(slot.szText, strText.size()));
        for (size_t i = strText.size(); i < sizeof(slot.szText); ++i)
            ASSERT_EQ(0, slot.szText[i]) << "byte " << i << " after the text";
    }

    static bool AllZero(const void* p, size_t nSize) {
        const auto* pb = static_cast<const unsigned char*>(p);
        for (size_t i = 0; i < nSize; ++i)
            if (pb[i]) return false;
        return true;
    }

    std::string m_strName;
    std::string m_strChannel;
};

std::string Line(int n) { return "[Info]|line " + std::to_string(n) + "\n"; }
}  // namespace

TEST_F(LogChannelTest, OpenZeroesTheWholeBlock) {
    CSharedMemory stale;
    ASSERT_EQ(1, stale.Create(("Global" + m_strChannel + ".mem").c_str(), RING_BLOCK_SIZE));
    void* pStale = stale.Map();
    ASSERT_NE(nullptr, pStale);
    memset(pStale, 0xAB, RING_BLOCK_SIZE);

    CLogChannel channel;
    ASSERT_EQ(1, channel.Open(m_strChannel.c_str()));
    ASSERT_TRUE(channel.IsOn());
    EXPECT_EQ(channel.m_pView, static_cast<void*>(channel.m_pRing));
    EXPECT_TRUE(AllZero(channel.m_pView, RING_BLOCK_SIZE));
    EXPECT_TRUE(AllZero(pStale, RING_BLOCK_SIZE)) << "the same block seen by another opener";
}

TEST_F(LogChannelTest, SlotsAdvanceAndWrapAfter127) {
    CLogChannel channel;
    ASSERT_EQ(1, channel.Open(m_strChannel.c_str()));
    SRingHeader* pRing = channel.m_pRing;

    channel.Post(Line(1).c_str(), Info);
    EXPECT_EQ(1u, pRing->nNextSlot);
    ExpectSlot(pRing->aSlots[0], Info, Line(1));

    for (int n = 2; n <= 127; ++n) channel.Post(Line(n).c_str(), Info);
    EXPECT_EQ(0u, pRing->nNextSlot);
    ExpectSlot(pRing->aSlots[126], Info, Line(127));

    channel.Post(Line(128).c_str(), Warning);
    EXPECT_EQ(1u, pRing->nNextSlot);
    ExpectSlot(pRing->aSlots[0], Warning, Line(128));
    ExpectSlot(pRing->aSlots[1], Info, Line(2));

    // Nothing is written outside the slots and the index.
    EXPECT_EQ(0u, pRing->dwReserved0);
    EXPECT_EQ(0u, pRing->dwReserved1);
    EXPECT_TRUE(AllZero(reinterpret_cast<const char*>(pRing) + sizeof(SRingHeader),
                        RING_BLOCK_SIZE - sizeof(SRingHeader)));
}

TEST_F(LogChannelTest, SlotHoldsOnlyTheNewestLineCutToFit) {
    CLogChannel channel;
    ASSERT_EQ(1, channel.Open(m_strChannel.c_str()));
    SRingHeader* pRing = channel.m_pRing;
    const size_t nMaxText = RING_TEXT_SIZE - 1;  // characters with the NUL after them
    const struct {
        size_t nLength;  // with the newline
        size_t nKept;    // characters before the newline in the slot
    } aCases[] = {
        {1, 0},
        {20, 19},
        {nMaxText, nMaxText - 1},         // fits exactly
        {nMaxText + 1, nMaxText - 1},     // one too long: cut
        {LOG_LINE_TEXT + 1, nMaxText - 1},  // the longest logger line
    };
    for (const auto& c : aCases) {
        // A long line first, so the slot has old bytes where the new text ends.
        pRing->nNextSlot = 5;
        channel.Post((std::string(LOG_LINE_TEXT, 'o') + "\n").c_str(), Info);
        pRing->nNextSlot = 5;
        const std::string strLine = std::string(c.nLength - 1, 'n') + "\n";
        channel.Post(strLine.c_str(), Error);
        ExpectSlot(pRing->aSlots[5], Error, std::string(c.nKept, 'n') + "\n");
    }
}

TEST_F(LogChannelTest, EventIsSetPerLine) {
    CLogChannel channel;
    ASSERT_EQ(1, channel.Open(m_strChannel.c_str()));
    CNamedEvent reader;
    ASSERT_EQ(1, reader.Create(EventName().c_str()));
    EXPECT_EQ(0, reader.Wait(0)) << "created not set";
    channel.Post(Line(1).c_str(), Info);
    EXPECT_EQ(1, reader.Wait(0));
    EXPECT_EQ(0, reader.Wait(0)) << "auto-reset";
    channel.Post(Line(2).c_str(), Info);
    EXPECT_EQ(1, reader.Wait(0));
}

TEST_F(LogChannelTest, ChannelThatDidNotOpenChangesNothing) {
    // A block of the name that is too small to map whole: the open must fail.
    CSharedMemory small;
    ASSERT_EQ(1, small.Create(("Global" + m_strChannel + ".mem").c_str(), 100));
    void* pSmall = small.Map();
    ASSERT_NE(nullptr, pSmall);
    memset(pSmall, 0x5A, 100);

    CNamedEvent reader;
    ASSERT_EQ(1, reader.Create(EventName().c_str()));
    CLogChannel channel;
    EXPECT_EQ(0, channel.Open(m_strChannel.c_str()));
    EXPECT_FALSE(channel.IsOn());
    EXPECT_EQ(nullptr, channel.m_hEvent);
    EXPECT_EQ(nullptr, channel.m_hMapping);
    EXPECT_EQ(nullptr, channel.m_pView);
    channel.Post(Line(1).c_str(), Error);
    EXPECT_EQ(0, reader.Wait(0));
    for (int i = 0; i < 100; ++i) ASSERT_EQ(0x5A, static_cast<unsigned char*>(pSmall)[i]);

    CLogChannel never;
    never.Post(Line(1).c_str(), Error);
    EXPECT_FALSE(never.IsOn());
}

TEST_F(LogChannelTest, SecondOpenerWipesTheRing) {
    CLogChannel first;
    ASSERT_EQ(1, first.Open(m_strChannel.c_str()));
    for (int n = 1; n <= 5; ++n) first.Post(Line(n).c_str(), Info);
    ASSERT_EQ(5u, first.m_pRing->nNextSlot);

    CLogChannel second;
    ASSERT_EQ(1, second.Open(m_strChannel.c_str()));
    EXPECT_EQ(0u, first.m_pRing->nNextSlot);
    EXPECT_TRUE(AllZero(first.m_pView, RING_BLOCK_SIZE));

    first.Post(Line(6).c_str(), Info);
    second.Post(Line(7).c_str(), Info);
    EXPECT_EQ(2u, second.m_pRing->nNextSlot);
    ExpectSlot(second.m_pRing->aSlots[0], Info, Line(6));
    ExpectSlot(first.m_pRing->aSlots[1], Info, Line(7));
}

TEST_F(LogChannelTest, OutOfRangeIndexIsBroughtBackBeforeUse) {
    CLogChannel channel;
    ASSERT_EQ(1, channel.Open(m_strChannel.c_str()));
    SRingHeader* pRing = channel.m_pRing;
    for (uint32_t nFound : {127u, 200u, 254u, 0xFFFFFFFFu}) {
        pRing->nNextSlot = nFound;
        channel.Post(Line(int(nFound % 1000)).c_str(), Trace);
        const uint32_t nNext = pRing->nNextSlot;
        ASSERT_LT(nNext, RING_SLOTS) << nFound;
        ExpectSlot(pRing->aSlots[(nNext + RING_SLOTS - 1) % RING_SLOTS], Trace, Line(int(nFound % 1000)));
    }
}

TEST_F(LogChannelTest, WritersPostingAtOnceNeverShareASlot) {
    // Two openers of one name stand for two processes; each round starts on a
    // wiped ring and fills 126 of its 127 slots from both sides at once.
    constexpr int LINES_EACH = 63;
    for (int nRound = 0; nRound < 100; ++nRound) {
        CLogChannel a, b;
        ASSERT_EQ(1, a.Open(m_strChannel.c_str()));
        ASSERT_EQ(1, b.Open(m_strChannel.c_str()));
        std::atomic<int> nReady{0};
        auto fnPost = [&nReady](CLogChannel* pChannel, char chTag) {
            nReady.fetch_add(1);
            while (nReady.load() < 2) {  // both start at once
            }
            for (int n = 0; n < LINES_EACH; ++n) pChannel->Post((chTag + std::to_string(n) + "\n").c_str(), Info);
        };
        std::thread ta(fnPost, &a, 'A');
        std::thread tb(fnPost, &b, 'B');
        ta.join();
        tb.join();
        std::set<std::string> setLines;
        for (const SRingSlot& slot : a.m_pRing->aSlots)
            if (slot.szText[0]) setLines.insert(slot.szText);
        ASSERT_EQ(size_t(2 * LINES_EACH), setLines.size()) << "round " << nRound;
        ASSERT_EQ(uint32_t(2 * LINES_EACH), a.m_pRing->nNextSlot);
    }
}
