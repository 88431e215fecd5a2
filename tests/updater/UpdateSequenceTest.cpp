#include "tests/updater/UpdateSequenceFixture.h"

#include "platform/io/RawDisk.h"
#include "platform/io/Store.h"

using namespace updatertest;

namespace {

TEST_F(UpdateSequenceTest, AFullPackageEndsCompleteWithEveryPartWrittenAndTheDataKept)
{
    BuildPackage(Parts());
    ASSERT_TRUE(Run());
    // The micom part ends the run through its own reset.
    EXPECT_TRUE(m_log.Contains("<<< UPDATE >>> [MICOM END"));
    EXPECT_EQ(sim::CMicom::FirmwareState::Updated, m_micom->State());
    EXPECT_FALSE(m_micom->Resets().empty());
    EXPECT_EQ(sim::CDvdDeck::FirmwareState::Updated, m_deck->State());
    EXPECT_EQ(Pattern(480, 10), m_dmb->Flash());
    EXPECT_TRUE(m_bt->Finished());
    EXPECT_EQ(Pattern(20000, 6), m_store->BootLoader());
    EXPECT_EQ(NewProgram(), ReadHostFile(m_unit.Host("NAND/Wren/Wren.exe")));
    EXPECT_FALSE(Exists("NAND/Wren/old.dat"));
    EXPECT_TRUE(UserDataIntact());
    EXPECT_TRUE(Exists("NAND/WrenRecovery.flg"));
    EXPECT_FALSE(Exists("NAND/WrenUpdate.flg"));
    EXPECT_FALSE(Exists("_MAKE_TEMP_"));
    EXPECT_FALSE(Exists("HDD/_DATA_SAVE_"));
    EXPECT_FALSE(Exists("HDD/_DATA_SAVE_.OK"));
    EXPECT_TRUE(Markers().empty());
    EXPECT_EQ(0, RecoveryStarts(0));
}

TEST_F(UpdateSequenceTest, WithoutAMicomPartTheRunEndsCompleteThroughTheClose)
{
    Parts parts;
    parts.micom = false;
    BuildPackage(parts);
    ASSERT_TRUE(Run());
    EXPECT_EQ(1u, m_micom->Resets().size()); // the close resets the unit
    // The system step did not leave the micom's loader started.
    EXPECT_EQ(sim::CMicom::FirmwareState::Original, m_micom->State());
    EXPECT_TRUE(Exists("NAND/WrenRecovery.flg"));
    EXPECT_FALSE(Exists("NAND/WrenUpdate.flg"));
    EXPECT_FALSE(Exists("_MAKE_TEMP_"));
    EXPECT_TRUE(UserDataIntact());
    EXPECT_TRUE(Markers().empty());
}

TEST_F(UpdateSequenceTest, AMicomOnlyPackageEndsThroughTheMicomResetAndLeavesNoTemporaryFolder)
{
    Parts parts;
    parts.boot = parts.os = parts.logo = parts.app = parts.dmb = parts.bt = parts.dvd = parts.backup = false;
    BuildPackage(parts);
    ASSERT_TRUE(Run());
    EXPECT_EQ(sim::CMicom::FirmwareState::Updated, m_micom->State());
    EXPECT_EQ(1u, m_micom->Resets().size());
    EXPECT_FALSE(Exists("_MAKE_TEMP_"));
    EXPECT_EQ(OldProgram(), ReadHostFile(m_unit.Host("NAND/Wren/Wren.exe")));
    EXPECT_TRUE(UserDataIntact());
    EXPECT_EQ(0, m_store->FormatCount());
}

TEST_F(UpdateSequenceTest, WithoutTheMicomLinkNothingIsTouched)
{
    BuildPackage(Parts());
    sim::CMicom::Uninstall();
    const auto before = ReadHostFile(m_unit.Host("HDD/WrenUpdate.UPD"));
    ASSERT_TRUE(Run());
    EXPECT_TRUE(m_log.Contains("<<< UPDATER >>> QUIT"));
    EXPECT_FALSE(Exists("_MAKE_TEMP_"));
    EXPECT_TRUE(Exists("NAND/WrenRecovery.flg"));
    EXPECT_TRUE(Exists("NAND/WrenUpdate.flg"));
    EXPECT_EQ(OldProgram(), ReadHostFile(m_unit.Host("NAND/Wren/Wren.exe")));
    EXPECT_TRUE(m_store->BootLoader().empty());
    EXPECT_EQ(before, ReadHostFile(m_unit.Host("HDD/WrenUpdate.UPD")));
    EXPECT_TRUE(Markers().empty());
    EXPECT_EQ(0, RecoveryStarts(0));
}

// Each failing part leaves exactly its marker, starts the recovery program
// and stops the sequence; the user's data stays whatever failed.
TEST_F(UpdateSequenceTest, EachFailingStepLeavesItsMarkerAndStartsTheRecovery)
{
    struct Case {
        const char* marker;
        std::function<void(UpdateSequenceTest&)> inject;
        bool os = true;
    };
    const Case cases[] = {
        {"OSUpdate.err", [](UpdateSequenceTest& t) { t.m_store->CorruptNextReads(1000); }},
        {"APPUpdate.err", [](UpdateSequenceTest& t) { t.m_store->FailNext(IOCTL_STORE_FORMAT, ERROR_GEN_FAILURE); }},
        {"BackupOS.err",
         [](UpdateSequenceTest& t) {
             t.m_store->FailNext(static_cast<DWORD>(RawDiskIoctl::RegionWrite), ERROR_WRITE_FAULT);
         },
         false},
        {"DMBUpdate.err", [](UpdateSequenceTest& t) { t.m_dmb->FailImageCheck(true); }},
        {"BTUpdate.err", [](UpdateSequenceTest& t) { t.m_bt->FailBlock(0, 1000); }},
        {"DVDMicomUpdate.err", [](UpdateSequenceTest& t) { t.m_deck->RefuseBlock(0, 2); }},
        {"MicomUpdate.err",
         [](UpdateSequenceTest& t) {
             for (int line = 1; line <= 200; ++line)
                 t.m_micom->RefuseLine(line, ERROR_IO_DEVICE);
         }},
    };
    Parts parts;
    parts.logo = parts.boot = false; // the region writes are the backup's
    for (const Case& c : cases) {
        SCOPED_TRACE(c.marker);
        UninstallPeers();
        InstallPeers();
        fs::remove_all(m_unit.Host("HDD"));
        fs::remove_all(m_unit.Host("_MAKE_TEMP_"));
        m_recoveryStarts = 0;
        parts.os = c.os;
        BuildPackage(parts);
        c.inject(*this);
        Run();
        EXPECT_EQ(std::vector<std::string>{c.marker}, Markers());
        EXPECT_EQ(1, RecoveryStarts(1));
        EXPECT_NE(sim::CMicom::FirmwareState::Updated, m_micom->State());
        EXPECT_FALSE(Exists("NAND/WrenRecovery.flg"));
        const bool dataOnMedium = Exists("HDD/_DATA_SAVE_.OK");
        EXPECT_TRUE(UserDataIntact() || dataOnMedium);
    }
}

TEST_F(UpdateSequenceTest, WithoutARecoveryProgramAFailureStillResetsTheUnit)
{
    BuildPackage(Parts());
    fs::remove(m_unit.Host("Windows/WrenRecovery.exe"));
    m_dmb->FailImageCheck(true);
    ASSERT_TRUE(Run());
    EXPECT_EQ(std::vector<std::string>{"DMBUpdate.err"}, Markers());
    EXPECT_EQ(0, RecoveryStarts(0));
    EXPECT_EQ(1u, m_micom->Resets().size());
}

} // namespace

namespace {

// The window's messages before its first step: nothing runs until the
// clock moves, so each message is seen on its own.
class UpdaterMessagesTest : public UpdateSequenceTest {
public:
    UpdaterMessagesTest() { m_clock.SetSleepAdvances(true); }
    static void PumpPosted()
    {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    // True when the installer's answer (wParam 85) was posted.
    static bool AnswerPosted(UINT message)
    {
        MSG msg;
        bool answered = false;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            answered = answered || (msg.message == message && msg.wParam == updater::kNaviUpgradeAnswer);
        return answered;
    }
};

TEST_F(UpdaterMessagesTest, TheAttachStatusEndsTheRunOnlyWhenTheMediumIsGone)
{
    CMainWIndow window;
    ASSERT_TRUE(window.Create(GetModuleHandleW(nullptr)));
    PumpPosted();
    SendMessageW(window.GetHwnd(), window.AttachStatusMessage(), 1, 0);
    EXPECT_TRUE(IsWindow(window.GetHwnd()));
    EXPECT_EQ(0, RecoveryStarts(0));

    fs::remove_all(m_unit.Host("HDD"));
    const HWND hwnd = window.GetHwnd();
    SendMessageW(hwnd, window.AttachStatusMessage(), 0, 0);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(1, RecoveryStarts(1));
}

TEST_F(UpdaterMessagesTest, InstallerMessagesAreTakenOnlyWhileTheUpdaterWaitsForTheInstaller)
{
    CMainWIndow window;
    ASSERT_TRUE(window.Create(GetModuleHandleW(nullptr)));
    PumpPosted();
    ASSERT_FALSE(window.WaitingForInstaller());
    const LPARAM complete = static_cast<LPARAM>(MAKELONG(static_cast<WORD>(NaviUpgradeKind::Complete), 0));
    EXPECT_EQ(1, SendMessageW(window.GetHwnd(), window.UpgradeMessage(), updater::kNaviUpgradeRequest, complete));
    EXPECT_FALSE(AnswerPosted(window.UpgradeMessage()));
    const LPARAM error = static_cast<LPARAM>(MAKELONG(static_cast<WORD>(NaviUpgradeKind::Error), 20013));
    SendMessageW(window.GetHwnd(), window.UpgradeMessage(), updater::kNaviUpgradeRequest, error);
    EXPECT_TRUE(IsWindow(window.GetHwnd()));
    EXPECT_EQ(0, RecoveryStarts(0));
}

TEST(UpdaterTexts, ErrorAndInstallerCodesGiveTheirTexts)
{
    const std::pair<DWORD, std::u16string> errors[] = {
        {2, u"Missing File..."},     {3, u"USB Memory not found..."},    {5, u"Access is denied..."},
        {13, u"Wrong Data File..."}, {14, u"Out Of Memory..."},          {29, u"Write Failed..."},
        {30, u"Read Failed..."},     {50, u"USB Memory Read Failed..."}, {1617, u"USB Memory Read Failed..."},
        {7, u"Unknown Error(7)"},
    };
    for (const auto& [code, text] : errors)
        EXPECT_EQ(text, CMainWIndow::ErrorText(code)) << code;
    EXPECT_EQ(u"Unknown Error", CMainWIndow::NaviErrorText(0));
    EXPECT_EQ(u"Folder creation error", CMainWIndow::NaviErrorText(20001));
    EXPECT_EQ(u"Data setup fail", CMainWIndow::NaviErrorText(20011));
    EXPECT_EQ(u"Invalid data(empty)", CMainWIndow::NaviErrorText(20013));
    EXPECT_EQ(u"", CMainWIndow::NaviErrorText(20000));
    EXPECT_EQ(u"", CMainWIndow::NaviErrorText(20014));
}

} // namespace
