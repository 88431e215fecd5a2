#include "sim/FlashStore.h"

#include "platform/base/Debug.h"
#include "platform/base/Error.h"
#include "platform/io/File.h"

#include <cstring>
#include <filesystem>
#include <system_error>

namespace sim {

CFlashStore::CFlashStore(ULONGLONG sectors) : m_sectors(sectors) {}

std::shared_ptr<CFlashStore> CFlashStore::Install()
{
    auto store = std::make_shared<CFlashStore>();
    store->m_partitions.push_back({u"Part00", store->m_sectors, true});
    platform::RegisterDevice(u"DSK1:", store);
    return store;
}

void CFlashStore::Uninstall()
{
    platform::UnregisterDevice(u"DSK1:");
}

bool CFlashStore::Open(DWORD, DWORD)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_openError != 0) {
        SetLastError(m_openError);
        return false;
    }
    ++m_open;
    return true;
}

void CFlashStore::Close()
{
    std::lock_guard<std::mutex> guard(m_lock);
    --m_open;
}

BOOL CFlashStore::IoControl(DWORD code, const BYTE* in, DWORD inSize, BYTE* out, DWORD outSize, DWORD* returned)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_calls.push_back(code);
    for (auto it = m_failures.begin(); it != m_failures.end(); ++it) {
        if (it->first == code) {
            SetLastError(it->second);
            m_failures.erase(it);
            return FALSE;
        }
    }
    switch (code) {
    case IOCTL_STORE_GET_INFO:
        return GetInfo(out, outSize, returned);
    case IOCTL_STORE_DISMOUNT:
        return Dismount();
    case IOCTL_STORE_FORMAT:
        return Format();
    case IOCTL_STORE_CREATE_PARTITION:
        return CreatePartition(in, inSize);
    default:
        SetLastError(ERROR_INVALID_FUNCTION);
        return FALSE;
    }
}

ULONGLONG CFlashStore::FreeSectors() const
{
    ULONGLONG used = 0;
    for (const Partition& partition : m_partitions)
        used += partition.sectors;
    return m_sectors - used;
}

BOOL CFlashStore::GetInfo(BYTE* out, DWORD outSize, DWORD* returned)
{
    if (!out || outSize < sizeof(STOREINFO)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    STOREINFO info{};
    info.cbSize = sizeof(info);
    std::memcpy(info.szDeviceName, u"DSK1:", 6 * sizeof(WCHAR));
    std::memcpy(info.szStoreName, u"NAND Flash", 11 * sizeof(WCHAR));
    info.snNumSectors = m_sectors;
    info.dwBytesPerSector = kBytesPerSector;
    info.snFreeSectors = FreeSectors();
    info.snBiggestPartCreatable = info.snFreeSectors;
    info.dwPartitionCount = static_cast<DWORD>(m_partitions.size());
    for (const Partition& partition : m_partitions)
        info.dwMountCount += partition.mounted ? 1 : 0;
    std::memcpy(out, &info, sizeof(info));
    *returned = sizeof(info);
    return TRUE;
}

BOOL CFlashStore::Dismount()
{
    for (Partition& partition : m_partitions)
        partition.mounted = false;
    return TRUE;
}

BOOL CFlashStore::Format()
{
    for (const Partition& partition : m_partitions) {
        if (partition.mounted) {
            SetLastError(ERROR_BUSY);
            return FALSE;
        }
    }
    // The file system on the flash is the unit's "\NAND" folder.
    const std::string nand = platform::HostPath(u"\\NAND", true);
    if (!nand.empty()) {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(nand, error))
            std::filesystem::remove_all(entry.path(), error);
    }
    m_partitions.clear();
    ++m_formats;
    NKDbgPrintfW(u"[DSK1] formatted\r\n");
    return TRUE;
}

BOOL CFlashStore::CreatePartition(const BYTE* in, DWORD inSize)
{
    if (!in || inSize != sizeof(STORE_PARTITION_REQUEST)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    STORE_PARTITION_REQUEST request;
    std::memcpy(&request, in, sizeof(request));
    request.szPartitionName[PARTITIONNAMESIZE - 1] = 0;
    const std::u16string name = request.szPartitionName;
    if (name.empty() || request.snNumSectors == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    for (const Partition& partition : m_partitions) {
        if (partition.name == name) {
            SetLastError(ERROR_ALREADY_EXISTS);
            return FALSE;
        }
    }
    if (request.snNumSectors > FreeSectors()) {
        SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
    m_partitions.push_back({name, request.snNumSectors, true});
    return TRUE;
}

void CFlashStore::FailNext(DWORD code, DWORD error)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_failures.emplace_back(code, error);
}

void CFlashStore::RefuseOpen(DWORD error)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_openError = error;
}

std::vector<CFlashStore::Partition> CFlashStore::Partitions() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_partitions;
}

bool CFlashStore::IsMounted() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    for (const Partition& partition : m_partitions)
        if (partition.mounted)
            return true;
    return false;
}

int CFlashStore::FormatCount() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_formats;
}

std::vector<DWORD> CFlashStore::Calls() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_calls;
}

int CFlashStore::OpenHandles() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_open;
}

} // namespace sim
