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
