// A whole unit for the update sequence: every simulated peer, a recovery
// program that counts its starts, the user's data and an old system on the
// NAND store, and a package built by wrenpack on "\HDD". Run() drives the
// updater's window until its program ends, with the manual clock moved
// along by a pump thread (the Bluetooth download waits on it).
#pragma once

#include "platform/base/Clock.h"
#include "platform/base/Debug.h"
#include "platform/os/Process.h"
#include "platform/ui/Window.h"
#include "sim/BluetoothModule.h"
#include "sim/DmbModule.h"
#include "sim/DvdDeck.h"
#include "sim/FlashStore.h"
#include "sim/Micom.h"
#include "tests/common/TempUnit.h"
#include "tests/updater/OsCrc.h"
#include "tests/updater/PackageFixture.h"
#include "tests/updater/ZipFixture.h"
#include "updater/MainWindow.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace updatertest {

namespace fs = std::filesystem;

inline std::vector<BYTE> MakeOsImage(std::size_t size, unsigned seed)
{
    std::vector<BYTE> image = Pattern(size, seed);
    auto put = [&](std::size_t word, std::uint32_t value) {
        for (int b = 0; b < 4; ++b)
            image[4 * word + b] = static_cast<BYTE>(value >> (8 * b));
    };
    put(6, OsCrc(image, size / 4, true));
    put(4, OsCrc(image, 0x8000, false));
    return image;
}

inline std::string MicomRecords()
{
    // Header, two data records, end; each record's checksum holds.
    return "S0030000FC\r\nS1050000AA0050\r\nS1050002BB003D\r\nS70500000000FA\r\n";
}

// Moves the manual clock on by 3 ms about every 50 us of real time.
class ClockPump {
public:
    explicit ClockPump(platform::ManualClock& clock)
        : m_thread([this, &clock] {
              while (!m_stop) {
                  clock.Advance(3);
                  std::this_thread::sleep_for(std::chrono::microseconds(50));
              }
          })
    {
    }
    ~ClockPump()
    {
        m_stop = true;
        m_thread.join();
    }

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

class UpdateSequenceTest : public ::testing::Test {
public:
    struct Parts {
        bool boot = true, os = true, logo = true, app = true, dmb = true, bt = true, dvd = true, micom = true;
        bool backup = true;
    };

    // Waits follow the clock the pump moves, so that the Bluetooth
    // module's thread keeps pace with the download's time-outs.
    UpdateSequenceTest()
    {
        fs::create_directories(m_unit.Host("HDD"));
        fs::copy(WREN_ASSETS_UNIT, m_unit.Root(), fs::copy_options::recursive | fs::copy_options::skip_existing);
        InstallPeers();
        platform::RegisterProgram(updater::kRecoveryProgram, [this](const std::u16string&) -> DWORD {
            ++m_recoveryStarts;
            return 0;
        });
        WriteHostFile(m_unit.Host("Windows/WrenRecovery.exe"), {'M', 'Z'});
        // The old system and the user's data.
        WriteHostFile(m_unit.Host("NAND/Wren/Wren.exe"), OldProgram());
        WriteHostFile(m_unit.Host("NAND/Wren/old.dat"), Pattern(100, 7));
        for (const auto& [name, bytes] : UserData())
            WriteHostFile(m_unit.Host("NAND/DATA/" + name), bytes);
        WriteHostFile(m_unit.Host("NAND/WrenRecovery.flg"), {});
        WriteHostFile(m_unit.Host("NAND/WrenUpdate.flg"), {});
        m_store->WriteArea(sim::CFlashStore::Area::Region1, 0, Pattern(4096, 90)); // the backup OS
    }
    ~UpdateSequenceTest() override
    {
        platform::UnregisterProgram(updater::kRecoveryProgram);
        UninstallPeers();
    }

    static sim::FlashLayout SmallLayout()
    {
        sim::FlashLayout layout;
        layout.bootSectors = 256;
        layout.pageSectors = 8 + 16 * 256;
        layout.region0Sectors = 4096;
        layout.region1Sectors = 16 * 256;
        return layout;
    }

    void InstallPeers()
    {
        m_store = sim::CFlashStore::Install(SmallLayout());
        m_micom = sim::CMicom::Install();
        m_deck = sim::CDvdDeck::Install();
        m_dmb = sim::CDmbModule::Install();
        m_bt = sim::CBluetoothModule::Install();
    }
    static void UninstallPeers()
    {
        sim::CBluetoothModule::Uninstall();
        sim::CDmbModule::Uninstall();
        sim::CDvdDeck::Uninstall();
        sim::CMicom::Uninstall();
        sim::CFlashStore::Uninstall();
    }

    static std::vector<BYTE> OldProgram() { return Pattern(300, 1); }
    static std::vector<BYTE> NewProgram() { return Pattern(400, 2); }
    static std::map<std::string, std::vector<BYTE>> UserData()
    {
        return {{"Wren_Main.reg", Pattern(500, 3)}, {"Favorites/list.txt", Pattern(64, 4)}, {"empty.bin", {}}};
    }
    bool UserDataIntact() const
    {
        for (const auto& [name, bytes] : UserData())
            if (!fs::exists(m_unit.Host("NAND/DATA/" + name))
                || ReadHostFile(m_unit.Host("NAND/DATA/" + name)) != bytes)
                return false;
        return true;
    }
    // The recovery program runs on a thread of its own: waits (bounded, in
    // real time) until it has started count times, then a little longer so
    // that a start too many would show.
    int RecoveryStarts(int count)
    {
        for (int i = 0; i < 2000 && m_recoveryStarts.load() < count; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return m_recoveryStarts.load();
    }
    bool Exists(const std::string& relative) const { return fs::exists(m_unit.Host(relative)); }
    // The names of the ".err" markers on the medium.
    std::vector<std::string> Markers() const
    {
        std::vector<std::string> names;
        if (fs::exists(m_unit.Host("HDD")))
            for (const auto& entry : fs::directory_iterator(m_unit.Host("HDD")))
                if (entry.path().extension() == ".err")
                    names.push_back(entry.path().filename().string());
        return names;
    }

    // Builds the package with wrenpack from the parts asked for.
    void BuildPackage(const Parts& parts)
    {
        const std::string folder = m_unit.Root() + "/../" + fs::path(m_unit.Root()).filename().string() + "-parts";
        fs::remove_all(folder);
        fs::create_directories(folder);
        if (parts.app) {
            ASSERT_TRUE(WriteZip(folder + "/_PLAYER_.ZIP",
                                 {{"Wren/Wren.exe", NewProgram()}, {"Wren/Images/a.png", Pattern(2000, 5)}}));
        }
        if (parts.boot)
            WriteHostFile(folder + "/_BOOT_.NB0", Pattern(20000, 6));
        if (parts.os)
            WriteHostFile(folder + "/_NK_.NB0.APZ", MakeOsImage(3 * 0x20000 + 4096, 8));
        if (parts.logo)
            WriteHostFile(folder + "/_LOGO_1.ROM", Pattern(8192, 9));
        if (parts.dmb)
            WriteHostFile(folder + "/_DMB_.BIN", Pattern(480, 10));
        if (parts.bt) {
            std::vector<BYTE> dfu = Pattern(3000, 11);
            const std::vector<BYTE> suffix = {0x23, 0x01, 0x01, 0x00, 0x12, 0x0A, 0x00, 0x01, 'U', 'F', 'D', 16};
            dfu.insert(dfu.end(), suffix.begin(), suffix.end());
            DWORD crc = 0xFFFFFFFFu;
            for (BYTE b : dfu) {
                crc ^= b;
                for (int bit = 0; bit < 8; ++bit)
                    crc = (crc >> 1) ^ (crc & 1 ? 0xEDB88320u : 0);
            }
            for (int i = 0; i < 4; ++i)
                dfu.push_back(static_cast<BYTE>(crc >> (8 * i)));
            WriteHostFile(folder + "/_BT_.DFU", dfu);
        }
        if (parts.dvd)
            WriteHostFile(folder + "/_DVDMICOM_.BIN", Pattern(6144, 12));
        if (parts.micom) {
            const std::string records = MicomRecords();
            WriteHostFile(folder + "/_MICOM_.REC", std::vector<BYTE>(records.begin(), records.end()));
        }
        if (parts.backup)
            WriteHostFile(m_unit.Host("HDD/nk_backup.rom"), Pattern(4096, 13));
        const std::string command = std::string(WRENPACK_EXE) + " --firmware-version 2.0.0 " + folder + " "
            + m_unit.Host("HDD/WrenUpdate.UPD") + " > /dev/null";
        ASSERT_EQ(0, std::system(command.c_str()));
        fs::remove_all(folder);
    }

    // Runs the updater until its program ends (or the message loop has run
    // for limit rounds). before(msg) sees every message before it is
    // dispatched and returns false to stop the run there (a power cut).
    bool Run(const std::function<bool(const MSG&)>& before = nullptr, int limit = 400000)
    {
        ClockPump pump(m_clock);
        CMainWIndow window;
        if (!window.Create(GetModuleHandleW(nullptr)))
            return false;
        m_window = &window;
        bool ended = false;
        for (int round = 0; round < limit && !ended; ++round) {
            MSG msg;
            bool any = false;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                any = true;
                if (msg.message == WM_QUIT) {
                    ended = true;
                    break;
                }
                if (before && !before(msg)) {
                    m_window = nullptr;
                    window.BusyAnimation().Stop();
                    window.ProgressTicker().Close();
                    DestroyWindow(window.GetHwnd());
                    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {}
                    return false;
                }
                DispatchMessageW(&msg);
            }
            if (!any)
                std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        m_window = nullptr;
        return ended;
    }

    TempUnit m_unit{"wren-seq"};
    platform::ManualClock m_clock;
    platform::DebugCapture m_log;
    std::shared_ptr<sim::CFlashStore> m_store;
    std::shared_ptr<sim::CMicom> m_micom;
    std::shared_ptr<sim::CDvdDeck> m_deck;
    std::shared_ptr<sim::CDmbModule> m_dmb;
    std::shared_ptr<sim::CBluetoothModule> m_bt;
    std::atomic<int> m_recoveryStarts{0};
    CMainWIndow* m_window = nullptr;
};

} // namespace updatertest
