// The main window's creation on the simulated board: the drivers in their
// order with a good status block, a refused one and no micom, what is
// reported to the kernel from the micom's and the board's state, the named
// events for the platform shell, and what its destruction closes.
#include "Source/models/ModelCenter.h"
#include "platform/base/Debug.h"
#include "platform/io/File.h"
#include "platform/io/RawDisk.h"
#include "platform/os/Sync.h"
#include "tests/wren/MainWndFixture.h"

#include <filesystem>
#include <fstream>
#include <thread>

namespace {

using namespace mainwndtest;

// A status block whose view history ends with the movie, kept on the second
// card; with its checksum right or wrong.
sim::CMicom::Block0 MovieOnSecondCard(bool rightSum)
{
    sim::CMicom::Block0 block{};
    block[20] = 0x10; // something besides the history
    platform::PutRawWord(block.data() + 40, 5103);
    platform::PutRawWord(block.data() + 44, 5102);
    block[73] = 11;
    block[74] = 10;
    DWORD sum = sim::CMicom::Block0Sum(block);
    platform::PutRawWord(block.data() + kMicomBlock0SumOffset, rightSum ? sum : sum + 1);
    return block;
}

using MainWndCreate = MainWndFixture;

TEST_F(MainWndCreate, OpensTheDriversInOrderAndChecksTheStatusBlockBeforeTheFrame)
{
    struct Case {
        const char* name;
        bool micom;
        bool rightSum;
        Log calls;
        bool firstSd;
        const char* fid;
    } cases[] = {
        {"good block",
         true,
         true,
         {"ASP1: open", "NEC1: open", "NEC1: C100013C", "NEC1: C1000008", "NEC1: C1000070", "NEC1: C10000DC",
          "CST1: open", "CST1: C2000004", "RMT1: open", "RMT1: C7000000", "DMB1: open"},
         true,
         " fid : 5102,  Movie Storage: 11, Music Storage: 10 "},
        {"bad checksum: defaults",
         true,
         false,
         {"ASP1: open", "NEC1: open", "NEC1: C100013C", "NEC1: C1000134", "NEC1: C1000008", "NEC1: C1000070",
          "NEC1: C10000DC", "CST1: open", "CST1: C2000004", "RMT1: open", "RMT1: C7000000", "DMB1: open"},
         false,
         " fid : 0,  Movie Storage: 0, Music Storage: 0 "},
        {"no micom",
         false,
         true,
         {"ASP1: open", "CST1: open", "CST1: C2000004", "RMT1: open", "RMT1: C7000000", "DMB1: open"},
         false,
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        micom->PutBlock0(MovieOnSecondCard(c.rightSum));
        if (!c.micom)
            platform::UnregisterDevice(u"NEC1:");
        HANDLE firstSd = CreateEventW(nullptr, TRUE, FALSE, kFirstSdEvent);
        HANDLE started = CreateEventW(nullptr, TRUE, FALSE, kShellStartEvent);
        platform::DebugCapture debug;
        calls.clear();
        ASSERT_TRUE(Open());
        EXPECT_EQ(calls, c.calls);
        EXPECT_EQ(WaitForSingleObject(firstSd, 0) == WAIT_OBJECT_0, c.firstSd);
        EXPECT_EQ(WaitForSingleObject(started, 0), WAIT_OBJECT_0);
        if (c.fid) {
            EXPECT_TRUE(debug.Contains(c.fid));
            EXPECT_EQ(debug.Contains("CModelCenter::Create()   CheckSum "), !c.rightSum);
            EXPECT_TRUE(debug.Contains("Micom Version = [0x10203]"));
        } else {
            EXPECT_FALSE(debug.Contains(" fid : "));
        }
        EXPECT_TRUE(debug.Contains("Remote Control Handle reistered successfully"));
        EXPECT_TRUE(window->GetDetachWaiter().IsRunning());
        // The board's registrations point at the window.
        EXPECT_EQ(remote->Window(), hwnd);
        EXPECT_EQ(connection->Window(), hwnd);
        // Without the micom nothing of its state is reported.
        const Log heard = Take();
        bool accReported = false;
        for (const auto& line : heard)
            accReported |= line == "34 4096 100" || line == "10465 4096 1";
        EXPECT_EQ(accReported, c.micom);
        Close();
        GetUnitLink().m_hDmb.CloseHandleSafe(); // the window never closes it
        CloseHandle(firstSd);
        CloseHandle(started);
        if (!c.micom)
            micom = sim::CMicom::Install();
    }
}

TEST_F(MainWndCreate, ReportsTheMicomAndBoardStateAtStart)
{
    struct Case {
        const char* name;
        DWORD status;
        bool sd0, sd1, ipod, parked, flagFile;
        Log heard;
        int backlight;
    } cases[] = {
        {"ACC on, tail, rear camera; cards and iPod in, parked",
         0x02 | 0x04 | 0x08 | 0x20 | 0x80,
         true,
         true,
         true,
         true,
         false,
         {"34 4096 100", "34 4096 70", "11500 4096 1", "33 4128 10", "33 4128 11", "34 4128 30", "32 4128 102"},
         -1},
        {"ACC off, nothing in, driving",
         0,
         false,
         false,
         false,
         false,
         false,
         {"10465 4096 1", "11500 4096 0", "33 4129 10", "33 4129 11", "34 4129 30", "32 4129 102"},
         0},
        {"park signal switched off by its flag file",
         0x02,
         false,
         false,
         false,
         true,
         true,
         {"34 4096 100", "11500 4096 0", "33 4129 10", "33 4129 11", "34 4129 30", "32 4129 102"},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        micom->SetStatusBit(MicomStatusBit::Acc, false);
        for (DWORD bit : {0x02u, 0x04u, 0x08u, 0x20u, 0x80u})
            micom->SetStatusBit(static_cast<MicomStatusBit>(bit), (c.status & bit) != 0);
        connection->SetSd0(c.sd0);
        connection->SetSd1(c.sd1);
        connection->SetIpod(c.ipod);
        connection->SetParked(c.parked);
        std::filesystem::create_directories(unit.Host("NAND"));
        if (c.flagFile)
            std::ofstream(unit.Host("NAND/PARKSIGNAL_OFF.FLG")) << "";
        platform::DebugCapture debug;
        ASSERT_TRUE(Open());
        EXPECT_EQ(Take(), c.heard);
        EXPECT_EQ(micom->Backlight(), c.backlight);
        const CUnitLink& link = GetUnitLink();
        EXPECT_EQ(link.m_nAccOn, (c.status & 0x02) ? 1 : 0);
        EXPECT_EQ(link.m_nParkBrake, c.parked && !c.flagFile ? 1 : 0);
        EXPECT_EQ(link.m_nParked, c.parked ? 1 : 0);
        EXPECT_EQ(GetRearCamState(), (c.status & 0x08) ? 1 : 0);
        if (c.flagFile) {
            EXPECT_TRUE(debug.Contains("[CST] Park is detached\r\n[CST] Unused Parking Signal \r\n"));
        }
        if (c.status & 0x80) {
            EXPECT_TRUE(debug.Contains("[BSP] STARTING_STATUS is on\r\n[BSP] Auto Light is on\r\n"));
        }
        Close();
        std::filesystem::remove(unit.Host("NAND/PARKSIGNAL_OFF.FLG"));
        GetUnitLink().ResetStates();
        ResetRearCamState();
        MarkRearCamDetached();
        ResetRearCamState();
    }
}

TEST_F(MainWndCreate, DestroyClosesItsDriversButDmbAndStopsTheWaiter)
{
    ASSERT_TRUE(Open());
    const CUnitLink& link = GetUnitLink();
    EXPECT_TRUE(link.m_hMicom.IsOpen() && link.m_hAudio.IsOpen() && link.m_hConnection.IsOpen()
                && link.m_hRemote.IsOpen() && link.m_hDmb.IsOpen());
    // The waiter logs each detach of the first card and goes on waiting.
    {
        platform::DebugCapture debug;
        HANDLE detach = CreateEventW(nullptr, FALSE, FALSE, kDetachSd0Event);
        SetEvent(detach);
        for (int i = 0; i < 2000 && !debug.Contains("[CEventDetach_SD0] : Do() \r\n"); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_TRUE(debug.Contains("[CEventDetach_SD0] : Do() \r\n"));
        CloseHandle(detach);
    }
    EXPECT_TRUE(window->GetDetachWaiter().IsRunning());
    DestroyWindow(hwnd);
    EXPECT_FALSE(link.m_hMicom.IsOpen() || link.m_hAudio.IsOpen() || link.m_hConnection.IsOpen()
                 || link.m_hRemote.IsOpen());
    EXPECT_TRUE(link.m_hDmb.IsOpen());
    EXPECT_FALSE(window->GetDetachWaiter().IsRunning());
    EXPECT_EQ(micom->OpenHandles(), 0);
}

TEST_F(MainWndCreate, ThePowerOffEventIsSetWhenTheMicomCutsThePower)
{
    HANDLE powerOff = CreateEventW(nullptr, TRUE, FALSE, kShellPowerOffEvent);
    // The named event outlives a test whose shell still holds it: start unset.
    ResetEvent(powerOff);
    ASSERT_TRUE(Open());
    EXPECT_NE(WaitForSingleObject(powerOff, 0), WAIT_OBJECT_0);
    micom->Notify(MicomNotice::AccOffOff, 0);
    Pump();
    EXPECT_EQ(WaitForSingleObject(powerOff, 0), WAIT_OBJECT_0);
    CloseHandle(powerOff);
}

} // namespace
