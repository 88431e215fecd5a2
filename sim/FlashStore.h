// The unit's flash store, the block driver "DSK1:" that holds the "\NAND"
// file system. It answers the storage manager's calls (store information,
// dismount, format, create partition); formatting empties the unit's
// "\NAND" folder, as formatting the flash does.
//
// Beside the file system the flash holds the system images in areas of
// 512-byte sectors, reached by the raw calls (RawDisk.h): the boot loader,
// the page area of the OS image, region 0 (boot logo and the update
// progress sector) and region 1 (backup OS image). They are kept in the file
// "board/DSK1.flash" under the unit root, written through on every call, so
// they outlast the store object as flash outlasts a power cycle: a new store
// on the same root finds them again.
//
// It keeps what it was asked and lets a test make any of the calls fail,
// corrupt what a read returns, or cut the power after a number of bytes have
// reached the flash: the write in progress lands only up to there, and every
// call fails (ERROR_NOT_READY) until the power is back.
#pragma once

#include "platform/base/Types.h"
#include "platform/io/Device.h"
#include "platform/io/RawDisk.h"
#include "platform/io/Store.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// The raw areas of the flash, in sectors. A flash file made with other sizes
// keeps its own.
struct FlashLayout {
    DWORD bootSectors = 1024;    // 512 KiB
    DWORD pageSectors = 131072;  // 64 MiB
    DWORD region0Sectors = 4096; // 2 MiB
    DWORD region1Sectors = 131072;
};

class CFlashStore : public platform::Device {
public:
    static constexpr DWORD kBytesPerSector = 512;
    static constexpr ULONGLONG kDefaultSectors = 2ull * 1024 * 1024 * 1024 / kBytesPerSector; // 2 GiB

    struct Partition {
        std::u16string name;
        ULONGLONG sectors = 0;
        bool mounted = false;
    };

    using Layout = FlashLayout;
    enum class Area { BootLoader, Pages, Region0, Region1 };

    explicit CFlashStore(ULONGLONG sectors = kDefaultSectors, Layout layout = Layout());
    ~CFlashStore() override;

    // Registers a new store under "DSK1:" with one mounted partition
    // "Part00" over the whole store, and returns it.
    static std::shared_ptr<CFlashStore> Install(Layout layout = Layout());
    static void Uninstall();
    // The host path of the flash file of the unit root now open.
    static std::string FlashFilePath();

    bool Open(DWORD access, DWORD share) override;
    BOOL IoControl(DWORD code, const BYTE* in, DWORD inSize, BYTE* out, DWORD outSize, DWORD* returned) override;
    void Close() override;

    // Makes the next call with this control code fail with the error.
    void FailNext(DWORD code, DWORD error);
    // Makes every open fail with the error (0: they succeed again).
    void RefuseOpen(DWORD error);

    // Cuts the power once bytes more have reached the flash.
    void CutPowerAfter(std::uint64_t bytes);
    // Power back: the areas are read again from the flash file.
    void PowerOn();
    bool PoweredOff() const;
    // Called on the writing thread at the moment the power goes, with the
    // store locked (it must not call the store): a test keeps the unit's
    // state there as the cut left it.
    void OnPowerCut(std::function<void()> hook);
    // The next count image reads return their data with one byte changed.
    void CorruptNextReads(int count);

    // The raw areas as the flash holds them (the file, read directly); a
    // test reads and seeds them here. Sectors outside the area read as
    // nothing and are not written.
    std::vector<BYTE> ReadArea(Area area, DWORD startSector, DWORD sectorCount) const;
    bool WriteArea(Area area, DWORD startSector, const std::vector<BYTE>& bytes);
    // The boot loader as the last update left it (empty when never written).
    std::vector<BYTE> BootLoader() const;
    const Layout& AreaLayout() const { return m_layout; }
    // Bytes that reached the flash through the raw calls.
    std::uint64_t BytesWritten() const;

    std::vector<Partition> Partitions() const;
    bool IsMounted() const;
    int FormatCount() const;
    // The control codes received, in order.
    std::vector<DWORD> Calls() const;
    int OpenHandles() const;

private:
    BOOL StoreCall(DWORD code, const BYTE* in, DWORD inSize, BYTE* out, DWORD outSize, DWORD* returned);
    BOOL GetInfo(BYTE* out, DWORD outSize, DWORD* returned);
    BOOL Dismount();
    BOOL Format();
    BOOL CreatePartition(const BYTE* in, DWORD inSize);
    ULONGLONG FreeSectors() const;
    BOOL RawWrite(Area area, const RawDiskRequest& request);
    BOOL RawRead(const RawDiskRequest& request);
    BOOL UpdateBootLoader(const WCHAR* path);
    // Opens (or makes) the flash file; false when it cannot.
    bool OpenMedium() const;
    void ReadLayout() const;
    DWORD AreaSectors(Area area) const;
    std::uint64_t AreaOffset(Area area) const;
    // Writes bytes at a file offset as far as the power lasts; false when
    // the power went (or the write failed).
    bool Land(std::uint64_t offset, const BYTE* data, std::size_t size);
    bool ReadMedium(std::uint64_t offset, BYTE* data, std::size_t size) const;
    void CloseMedium();

    mutable std::mutex m_lock;
    ULONGLONG m_sectors;
    std::vector<Partition> m_partitions;
    std::vector<DWORD> m_calls;
    std::vector<std::pair<DWORD, DWORD>> m_failures; // code, error
    DWORD m_openError = 0;
    int m_formats = 0;
    int m_open = 0;
    mutable Layout m_layout;   // the flash file's, once open
    mutable int m_medium = -1; // the flash file
    std::optional<std::uint64_t> m_powerBudget;
    bool m_poweredOff = false;
    std::function<void()> m_powerCutHook;
    int m_corruptReads = 0;
    std::uint64_t m_written = 0;
};

} // namespace sim
