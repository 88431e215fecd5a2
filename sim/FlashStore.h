// The unit's flash store, the block driver "DSK1:" that holds the "\NAND"
// file system. It answers the storage manager's calls (store information,
// dismount, format, create partition); formatting empties the unit's
// "\NAND" folder, as formatting the flash does. It keeps what it was asked
// and lets a test make any of the calls fail.
#pragma once

#include "platform/base/Types.h"
#include "platform/io/Device.h"
#include "platform/io/Store.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace sim {

class CFlashStore : public platform::Device {
public:
    static constexpr DWORD kBytesPerSector = 512;
    static constexpr ULONGLONG kDefaultSectors = 2ull * 1024 * 1024 * 1024 / kBytesPerSector; // 2 GiB

    struct Partition {
        std::u16string name;
        ULONGLONG sectors = 0;
        bool mounted = false;
    };

    explicit CFlashStore(ULONGLONG sectors = kDefaultSectors);

    // Registers a new store under "DSK1:" with one mounted partition
    // "Part00" over the whole store, and returns it.
    static std::shared_ptr<CFlashStore> Install();
    static void Uninstall();

    bool Open(DWORD access, DWORD share) override;
    BOOL IoControl(DWORD code, const BYTE* in, DWORD inSize, BYTE* out, DWORD outSize, DWORD* returned) override;
    void Close() override;

    // Makes the next call with this control code fail with the error.
    void FailNext(DWORD code, DWORD error);
    // Makes every open fail with the error (0: they succeed again).
    void RefuseOpen(DWORD error);

    std::vector<Partition> Partitions() const;
    bool IsMounted() const;
    int FormatCount() const;
    // The control codes received, in order.
    std::vector<DWORD> Calls() const;
    int OpenHandles() const;

private:
    BOOL GetInfo(BYTE* out, DWORD outSize, DWORD* returned);
    BOOL Dismount();
    BOOL Format();
    BOOL CreatePartition(const BYTE* in, DWORD inSize);
    ULONGLONG FreeSectors() const;

    mutable std::mutex m_lock;
    ULONGLONG m_sectors;
    std::vector<Partition> m_partitions;
    std::vector<DWORD> m_calls;
    std::vector<std::pair<DWORD, DWORD>> m_failures; // code, error
    DWORD m_openError = 0;
    int m_formats = 0;
    int m_open = 0;
};

} // namespace sim
