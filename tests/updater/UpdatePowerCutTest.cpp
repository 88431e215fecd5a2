// Power cuts through a full update: the power goes at a chosen point (the
// updater and the peers stop there; what is in memory, "\_MAKE_TEMP_"
// among it, is gone), then the unit starts again. Its boot is judged from
// what the flash and the NAND store hold:
//  - the boot loader must be whole (the old one or the new one);
//  - an OS image whose writing began but was not verified (update progress
//    sector 3, 4 or 5) makes the boot loader start the backup OS, which runs
//    the recovery;
//  - otherwise the OS starts; it runs the system when the recovery flag and
//    the program are on the NAND store, else the recovery.
// The recovery applies the update again from the medium. After every cut
// the unit must boot (old or new system, with the user's data) or recover
// into the new system with the user's data.
#include "tests/updater/UpdateSequenceFixture.h"

#include "platform/os/Sync.h"

#include <optional>

using namespace updatertest;

namespace {

enum class Boot { OldSystem, NewSystem, Recovery, Bricked };

// Where the power goes: before the n-th step timer of the run, or once
// that many bytes of the run's flash writes have landed (as a share, in
// thousandths, of a whole run's writes).
struct CutPoint {
    int timer = 0;
    int permille = 0;
};

class UpdatePowerCutTest : public UpdateSequenceTest, public ::testing::WithParamInterface<CutPoint> {
public:
    // The unit's persistent state (the flash file and the two stores).
    void Keep(const std::string& into)
    {
        fs::remove_all(into);
        fs::create_directories(into);
        for (const char* folder : {"NAND", "HDD", "board"})
            if (fs::exists(m_unit.Host(folder)))
                fs::copy(m_unit.Host(folder), into + "/" + folder, fs::copy_options::recursive);
    }
    void PutBack(const std::string& from)
    {
        for (const char* folder : {"NAND", "HDD", "board"}) {
            fs::remove_all(m_unit.Host(folder));
            if (fs::exists(from + "/" + folder))
                fs::copy(from + "/" + folder, m_unit.Host(folder), fs::copy_options::recursive);
        }
    }
    // The power comes back: fresh peers over what the flash keeps; the
    // memory (the temporary folder) is empty.
    void Restart()
    {
        UninstallPeers();
        fs::remove_all(m_unit.Host("_MAKE_TEMP_"));
        InstallPeers();
    }

    Boot JudgeBoot()
    {
        const std::vector<BYTE> loader = m_store->BootLoader();
        if (!loader.empty() && loader != Pattern(20000, 6))
            return Boot::Bricked;
        const std::vector<BYTE> sector = m_store->ReadArea(sim::CFlashStore::Area::Region0, 3100, 1);
        const int progress = sector.size() > 510 ? sector[510] : 0;
        if (progress >= 3 && progress <= 5) {
            const std::vector<BYTE> backup = m_store->ReadArea(sim::CFlashStore::Area::Region1, 0, 8);
            return backup == Pattern(4096, 90) || backup == Pattern(4096, 13) ? Boot::Recovery : Boot::Bricked;
        }
        if (!Exists("NAND/WrenRecovery.flg") || !Exists("NAND/Wren/Wren.exe"))
            return Boot::Recovery;
        return ReadHostFile(m_unit.Host("NAND/Wren/Wren.exe")) == NewProgram() ? Boot::NewSystem : Boot::OldSystem;
    }

    bool UpdatedWhole()
    {
        const std::vector<BYTE> sector = m_store->ReadArea(sim::CFlashStore::Area::Region0, 3100, 1);
        return Exists("NAND/WrenRecovery.flg") && ReadHostFile(m_unit.Host("NAND/Wren/Wren.exe")) == NewProgram()
            && sector.size() > 510 && sector[510] == 6 && m_store->BootLoader() == Pattern(20000, 6);
    }

    // Cuts the power as the point says; false when the run ended before.
    bool RunAndCut(const CutPoint& point)
    {
        const std::string kept = m_unit.Root() + "-cut";
        if (point.timer > 0) {
            int timers = 0;
            const bool ended = Run([&](const MSG& msg) { return msg.message != WM_TIMER || ++timers < point.timer; });
            return !ended;
        }
        // A whole run first, to know how many bytes it writes, on a copy
        // of the unit's state.
        Keep(kept + "-start");
        Run();
        const std::uint64_t total = m_store->BytesWritten();
        PutBack(kept + "-start");
        Restart();
        bool cut = false;
        m_store->OnPowerCut([&] {
            cut = true;
            Keep(kept);
        });
        m_store->CutPowerAfter(std::max<std::uint64_t>(1, total * point.permille / 1000));
        Run([&](const MSG&) { return !m_store->PoweredOff(); });
        if (!cut)
            return false;
        PutBack(kept);
        return true;
    }
};

TEST_P(UpdatePowerCutTest, TheUnitBootsOrRecoversWithTheUserDataAfterTheCut)
{
    BuildPackage(Parts());
    ASSERT_TRUE(RunAndCut(GetParam()));
    Restart();
    const Boot boot = JudgeBoot();
    ASSERT_NE(Boot::Bricked, boot);
    if (boot == Boot::Recovery) {
        // The data is on the NAND store or in the checked copy on the
        // medium; the recovery's update brings the new system and it back.
        EXPECT_TRUE(UserDataIntact() || Exists("HDD/_DATA_SAVE_.OK"));
        ASSERT_TRUE(Run());
        Restart();
        EXPECT_TRUE(UpdatedWhole());
    }
    EXPECT_TRUE(UserDataIntact());
}

// The disk step writes no flash between keeping the data and putting it
// back: the states a cut leaves there are made by hand. Each time the unit
// goes to the recovery, and its update ends with the user's data.
TEST_F(UpdateSequenceTest, CutsInsideTheDiskStepNeverLoseTheUserData)
{
    BuildPackage(Parts());
    const std::string data = m_unit.Host("NAND/DATA");
    const std::string copy = m_unit.Host("HDD/_DATA_SAVE_");
    auto record = [&] {
        CDataBackup::Digest digest;
        ASSERT_TRUE(CDataBackup::DigestOf(u"\\HDD\\_DATA_SAVE_", &digest));
        std::vector<BYTE> bytes(8);
        for (int i = 0; i < 4; ++i) {
            bytes[i] = static_cast<BYTE>(digest.files >> (8 * i));
            bytes[4 + i] = static_cast<BYTE>(digest.sum >> (8 * i));
        }
        WriteHostFile(m_unit.Host("HDD/_DATA_SAVE_.OK"), bytes);
    };
    struct Case {
        const char* name;
        std::function<void()> make;
    };
    const Case cases[] = {
        {"half of the copy made",
         [&] {
             fs::create_directories(copy);
             fs::copy(data + "/Wren_Main.reg", copy + "/Wren_Main.reg");
         }},
        {"copy checked, store formatted",
         [&] {
             fs::copy(data, copy, fs::copy_options::recursive);
             record();
             fs::remove_all(m_unit.Host("NAND"));
             fs::create_directories(m_unit.Host("NAND"));
         }},
        {"data half put back",
         [&] {
             fs::copy(data, copy, fs::copy_options::recursive);
             record();
             fs::remove_all(m_unit.Host("NAND"));
             WriteHostFile(data + "/Wren_Main.reg", Pattern(10, 3));
         }},
    };
    const std::string start = m_unit.Root() + "-start";
    fs::remove_all(start);
    fs::create_directories(start);
    for (const char* folder : {"NAND", "HDD", "board"})
        fs::copy(m_unit.Host(folder), start + "/" + folder, fs::copy_options::recursive);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UninstallPeers();
        for (const char* folder : {"NAND", "HDD", "board"}) {
            fs::remove_all(m_unit.Host(folder));
            fs::copy(start + "/" + folder, m_unit.Host(folder), fs::copy_options::recursive);
        }
        InstallPeers();
        fs::remove(m_unit.Host("NAND/WrenRecovery.flg")); // step 2 had begun
        c.make();
        ASSERT_TRUE(Run());
        EXPECT_TRUE(UserDataIntact());
        EXPECT_EQ(NewProgram(), ReadHostFile(m_unit.Host("NAND/Wren/Wren.exe")));
        EXPECT_FALSE(Exists("HDD/_DATA_SAVE_.OK"));
        EXPECT_TRUE(Markers().empty());
    }
    fs::remove_all(start);
}

// A copy that no longer matches its record is never trusted, and the store
// is not formatted over data that may exist nowhere else.
TEST_F(UpdateSequenceTest, ACopyThatDoesNotMatchItsRecordStopsTheDiskStepBeforeTheFormat)
{
    BuildPackage(Parts());
    fs::copy(m_unit.Host("NAND/DATA"), m_unit.Host("HDD/_DATA_SAVE_"), fs::copy_options::recursive);
    WriteHostFile(m_unit.Host("HDD/_DATA_SAVE_.OK"), {3, 0, 0, 0, 1, 2, 3, 4});
    Run();
    EXPECT_EQ(std::vector<std::string>{"APPUpdate.err"}, Markers());
    EXPECT_EQ(0, m_store->FormatCount());
    EXPECT_TRUE(UserDataIntact());
    EXPECT_EQ(1, RecoveryStarts(1));
}

// The program that uses the NAND store still runs (it cannot be ended): not
// a file is deleted, and the unit goes to the recovery.
TEST_F(UpdateSequenceTest, WhileWrenRunsTheDiskStepDeletesNothing)
{
    Parts parts;
    parts.boot = parts.os = parts.logo = parts.backup = false;
    BuildPackage(parts);
    std::atomic<bool> stop{false};
    platform::RegisterProgram(u"\\NAND\\Wren\\Wren.exe", [&](const std::u16string&) -> DWORD {
        while (!stop)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return 0;
    });
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(CreateProcessW(u"\\NAND\\Wren\\Wren.exe", nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               nullptr, &info));
    Run();
    stop = true;
    WaitForSingleObject(info.hProcess, 5000);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    platform::UnregisterProgram(u"\\NAND\\Wren\\Wren.exe");
    EXPECT_EQ(std::vector<std::string>{"APPUpdate.err"}, Markers());
    EXPECT_EQ(OldProgram(), ReadHostFile(m_unit.Host("NAND/Wren/Wren.exe")));
    EXPECT_TRUE(Exists("NAND/Wren/old.dat"));
    EXPECT_EQ(0, m_store->FormatCount());
    EXPECT_TRUE(UserDataIntact());
}

std::vector<CutPoint> CutPoints()
{
    std::vector<CutPoint> points;
    for (int timer = 1; timer <= 7; ++timer)
        points.push_back({timer, 0});
    // The boot loader's own write (about the first 4 % of the bytes) is
    // left out: the board keeps a single boot loader, written by its
    // driver in one call, which no updater can make safe to cut.
    for (int permille : {60, 100, 200, 300, 400, 500, 600, 700, 800, 900, 950, 980, 990, 995, 999})
        points.push_back({0, permille});
    return points;
}

INSTANTIATE_TEST_SUITE_P(Points, UpdatePowerCutTest, ::testing::ValuesIn(CutPoints()),
                         [](const ::testing::TestParamInfo<CutPoint>& info) {
                             return info.param.timer > 0 ? "BeforeTimer" + std::to_string(info.param.timer)
                                                         : "FlashByte" + std::to_string(info.param.permille) + "pm";
                         });

} // namespace
