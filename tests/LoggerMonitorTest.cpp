// The logmon tool following a host: this test process logs through its own
// logger, logmon runs as a child process on the same channel.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "../tools/logmon/RingReader.h"
#include "LoggerTestSupport.h"

using namespace logtest;
namespace fs = std::filesystem;

namespace {
// Built beside the tests: <build>/tools/logmon/logmon.
std::string LogmonPath() {
    char szSelf[4096];
    const ssize_t n = readlink("/proc/self/exe", szSelf, sizeof(szSelf) - 1);
    if (n <= 0) return "";
    szSelf[n] = 0;
    return (fs::path(szSelf).parent_path().parent_path() / "tools" / "logmon" / "logmon").string();
}

class CMonitor {
public:
    ~CMonitor() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        if (m_fdErr >= 0) close(m_fdErr);
    }

    // Starts logmon and waits until it follows the channel.
    bool Start(const fs::path& outPath, std::vector<std::string> vecArgs) {
        m_outPath = outPath;
        const std::string strExe = LogmonPath();
        if (!fs::exists(strExe)) {
            ADD_FAILURE() << "logmon not built at " << strExe;
            return false;
        }
        int afdErr[2];
        if (pipe(afdErr) != 0) return false;
        const int fdOut = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        vecArgs.insert(vecArgs.begin(), strExe);
        std::vector<char*> vecArgv;
        for (std::string& str : vecArgs) vecArgv.push_back(str.data());
        vecArgv.push_back(nullptr);
        m_pid = fork();
        if (m_pid == 0) {
            dup2(fdOut, 1);
            dup2(afdErr[1], 2);
            execv(vecArgv[0], vecArgv.data());
            _exit(127);
        }
        close(fdOut);
        close(afdErr[1]);
        m_fdErr = afdErr[0];
        return ReadErrUntil("logmon: following", 10000);
    }

    // Collects standard error until it holds strText or the time is up.
    bool ReadErrUntil(const std::string& strText, int nMilliseconds) {
        const auto tEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(nMilliseconds);
        while (m_strErr.find(strText) == std::string::npos) {
            const auto nLeft =
                std::chrono::duration_cast<std::chrono::milliseconds>(tEnd - std::chrono::steady_clock::now()).count();
            if (nLeft <= 0) return false;
            pollfd pfd{m_fdErr, POLLIN, 0};
            if (poll(&pfd, 1, int(nLeft)) <= 0) continue;
            char szBuf[512];
            const ssize_t n = read(m_fdErr, szBuf, sizeof(szBuf));
            if (n <= 0) return false;
            m_strErr.append(szBuf, size_t(n));
        }
        return true;
    }

    std::string Output() const { return ReadWhole(m_outPath); }
    size_t LinesOut() const {
        const std::string str = Output();
        return size_t(std::count(str.begin(), str.end(), '\n'));
    }

    // Waits until the output holds at least nLines lines.
    bool WaitForLines(size_t nLines, int nMilliseconds = 10000) const {
        const auto tEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(nMilliseconds);
        while (LinesOut() < nLines) {
            if (std::chrono::steady_clock::now() > tEnd) return false;
            usleep(500);
        }
        return true;
    }

    // The exit status, or -1 when it did not end in time.
    int WaitExit(int nMilliseconds = 10000) {
        const auto tEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(nMilliseconds);
        for (;;) {
            int nStatus = 0;
            if (waitpid(m_pid, &nStatus, WNOHANG) == m_pid) {
                m_pid = -1;
                char szBuf[4096];
                ssize_t n;
                while ((n = read(m_fdErr, szBuf, sizeof(szBuf))) > 0) m_strErr.append(szBuf, size_t(n));
                return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : 128 + WTERMSIG(nStatus);
            }
            if (std::chrono::steady_clock::now() > tEnd) return -1;
            usleep(1000);
        }
    }

    pid_t Pid() const { return m_pid; }
    const std::string& Err() const { return m_strErr; }

private:
    pid_t m_pid = -1;
    int m_fdErr = -1;
    fs::path m_outPath;
    std::string m_strErr;
};

class LoggerMonitorTest : public CTempDirTest {
protected:
    void SetUp() override {
        CTempDirTest::SetUp();
        m_strName = UniqueChannelName("lm");
    }
    void TearDown() override {
        UnlinkChannel(m_strName);
        CTempDirTest::TearDown();
    }

    SLogConfig HostConfig() const {
        SLogConfig config = Config(m_strName + ".exe", OutChannel);
        config.dwLevelMask = 0xFFFFFFFFu;
        return config;
    }

    std::string m_strName;
};

std::string Numbered(int n) {
    char szLine[64];
    snprintf(szLine, sizeof(szLine), "[Info]|line %05d\n", n);
    return szLine;
}
}  // namespace

TEST_F(LoggerMonitorTest, PacedWriterLosesNoLine) {
    constexpr int LINES = 3000;
    constexpr int BATCH = 50;
    CMonitor monitor;
    ASSERT_TRUE(monitor.Start(m_dir / "out.txt", {"--count", std::to_string(LINES), "--timeout", "60",
                                                  "--no-colour", "\\" + m_strName}))
        << monitor.Err();
    CLogger host(HostConfig());
    ASSERT_TRUE(host.GetChannel().IsOn());
    std::string strExpected;
    for (int n = 0; n < LINES; ++n) {
        // Never more than two batches ahead of the monitor: well inside the ring.
        if (n % BATCH == 0) {
            ASSERT_TRUE(monitor.WaitForLines(size_t(n > BATCH ? n - BATCH : 0))) << n;
        }
        Log(host, Info, "line %05d", n);
        strExpected += Numbered(n);
    }
    EXPECT_EQ(0, monitor.WaitExit());
    EXPECT_EQ(strExpected, monitor.Output());
    EXPECT_EQ(std::string::npos, monitor.Err().find("lost")) << monitor.Err();
}

TEST_F(LoggerMonitorTest, MonitorThatFellBehindSaysSoAndResumesAtTheOldestLine) {
    CMonitor monitor;
    ASSERT_TRUE(monitor.Start(m_dir / "out.txt", {"--timeout", "60", "--no-colour", m_strName})) << monitor.Err();
    CLogger host(HostConfig());
    std::string strExpected;
    for (int n = 0; n < 10; ++n) {
        Log(host, Info, "line %05d", n);
        strExpected += Numbered(n);
    }
    ASSERT_TRUE(monitor.WaitForLines(10));

    // Held still while the host logs more than the ring holds.
    ASSERT_EQ(0, kill(monitor.Pid(), SIGSTOP));
    int nStatus = 0;
    ASSERT_EQ(monitor.Pid(), waitpid(monitor.Pid(), &nStatus, WUNTRACED));
    ASSERT_TRUE(WIFSTOPPED(nStatus));
    constexpr int LAST = 309;
    for (int n = 10; n <= LAST; ++n) Log(host, Info, "line %05d", n);
    for (int n = LAST + 1 - int(RING_SLOTS); n <= LAST; ++n) strExpected += Numbered(n);
    ASSERT_EQ(0, kill(monitor.Pid(), SIGCONT));

    EXPECT_TRUE(monitor.ReadErrUntil("lines were lost", 10000)) << monitor.Err();
    ASSERT_TRUE(monitor.WaitForLines(10 + RING_SLOTS));
    EXPECT_EQ(strExpected, monitor.Output());

    // Ctrl-C ends it cleanly.
    ASSERT_EQ(0, kill(monitor.Pid(), SIGINT));
    EXPECT_EQ(0, monitor.WaitExit());
}

TEST_F(LoggerMonitorTest, LevelFilterAndBounds) {
    const struct {
        std::vector<std::string> vecArgs;
        int nExit;
        const char* pszExpected;
    } aCases[] = {
        {{"--level", "Error,warning", "--count", "2", "--timeout", "10"}, 0, "[Error]|b\n[Warning]|c\n"},
        {{"--level", "0x40", "--count", "1", "--timeout", "10"}, 0, "[Debug]|e\n"},
        {{"--level", "36", "--timeout", "0.5"}, 0, "[Info]|a\n[Error]|b\n[Info]|d\n"},
        {{"--count", "9", "--timeout", "0.5"}, 1, "[Info]|a\n[Error]|b\n[Warning]|c\n[Info]|d\n[Debug]|e\n"},
    };
    for (const auto& c : aCases) {
        const std::string strName = UniqueChannelName("lm");  // a fresh ring per case
        CMonitor monitor;
        std::vector<std::string> vecArgs = c.vecArgs;
        vecArgs.push_back(strName);
        ASSERT_TRUE(monitor.Start(m_dir / "out.txt", vecArgs)) << monitor.Err();
        {
            SLogConfig config = Config(strName + ".exe", OutChannel);
            config.dwLevelMask = 0xFFFFFFFFu;
            CLogger host(config);
            Log(host, Info, "a");
            Log(host, Error, "b");
            Log(host, Warning, "c");
            Log(host, Info, "d");
            Log(host, Debug, "e");
        }
        EXPECT_EQ(c.nExit, monitor.WaitExit()) << c.vecArgs[1];
        EXPECT_EQ(c.pszExpected, monitor.Output()) << c.vecArgs[1];
        UnlinkChannel(strName);
    }
}

TEST(LogmonCommandLine, BadArgumentsAreRefused) {
    for (std::vector<std::string> vecArgs : std::vector<std::vector<std::string>>{
             {}, {"--level", "Nonsense", "host"}, {"--count", "0", "host"}, {"--bogus", "host"}, {"a", "b"}}) {
        vecArgs.insert(vecArgs.begin(), LogmonPath());
        std::vector<char*> vecArgv;
        for (std::string& str : vecArgs) vecArgv.push_back(str.data());
        vecArgv.push_back(nullptr);
        const pid_t pid = fork();
        if (pid == 0) {
            const int fdNull = open("/dev/null", O_WRONLY);
            dup2(fdNull, 2);
            execv(vecArgv[0], vecArgv.data());
            _exit(127);
        }
        int nStatus = 0;
        ASSERT_EQ(pid, waitpid(pid, &nStatus, 0));
        EXPECT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 2) << vecArgs.size();
    }
}

// The reader's loss heuristic on a ring in this process.
TEST(RingReader, DetectsLapAndWipeButNotOrdinaryProgress) {
    static SRingHeader s_ring;
    memset(&s_ring, 0, sizeof(s_ring));
    auto fnPost = [](int n) {
        const uint32_t s = s_ring.nNextSlot;
        s_ring.nNextSlot = (s + 1) % RING_SLOTS;
        memset(&s_ring.aSlots[s], 0, sizeof(SRingSlot));
        s_ring.aSlots[s].dwLevel = Info;
        snprintf(s_ring.aSlots[s].szText, RING_TEXT_SIZE, "%s", Numbered(n).c_str());
    };
    CRingReader reader(&s_ring);
    reader.Start(false);
    std::string strSeen;
    auto fnCollect = [&strSeen](uint32_t, const char* pszText) { strSeen += pszText; };
    // Empty slots at the end of a window may be lines still being written: the
    // reader waits a few polls for them before it passes them by.
    auto fnPoll = [&reader, &fnCollect] {
        bool bLost = false;
        for (int i = 0; i <= CRingReader::STALL_POLLS + 2; ++i) bLost |= reader.Poll(fnCollect);
        return bLost;
    };

    for (int n = 0; n < 126; ++n) fnPost(n);  // 126 behind: still whole
    EXPECT_FALSE(reader.Poll(fnCollect));
    EXPECT_EQ(126u, size_t(std::count(strSeen.begin(), strSeen.end(), '\n')));

    strSeen.clear();
    for (int n = 126; n < 126 + 127; ++n) fnPost(n);  // exactly one lap: nNextSlot looks unchanged
    EXPECT_TRUE(reader.Poll(fnCollect));
    EXPECT_EQ(Numbered(126), strSeen.substr(0, Numbered(126).size()));

    strSeen.clear();
    memset(&s_ring, 0, sizeof(s_ring));  // a new writer's open
    fnPost(1000);
    EXPECT_TRUE(fnPoll());
    EXPECT_EQ(Numbered(1000), strSeen);

    strSeen.clear();
    fnPost(1001);
    EXPECT_FALSE(fnPoll());
    EXPECT_EQ(Numbered(1001), strSeen);

    // A lap later the header moves on before the slot is cleared: the old line
    // still there is in flight, neither new nor a sign of loss.
    strSeen.clear();
    for (int n = 1002; n < 1002 + 125; ++n) fnPost(n);
    EXPECT_FALSE(fnPoll());
    const uint32_t nClaimed = s_ring.nNextSlot;
    s_ring.nNextSlot = (nClaimed + 1) % RING_SLOTS;
    strSeen.clear();
    EXPECT_FALSE(reader.Poll(fnCollect));
    EXPECT_EQ("", strSeen);
    s_ring.nNextSlot = nClaimed;
    fnPost(2000);
    EXPECT_FALSE(reader.Poll(fnCollect));
    EXPECT_EQ(Numbered(2000), strSeen);
}
