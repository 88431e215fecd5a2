#include "sim/FlashStore.h"

#include "platform/base/Debug.h"
#include "platform/base/Error.h"
#include "platform/io/File.h"
#include "platform/io/Io.h"
#include "platform/unit/Unit.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace sim {
namespace {

// The flash file: a header sector (magic, the four area sizes, the boot
// loader's length), then the boot loader, page, region 0 and region 1
// areas, each as many sectors as the header says.
constexpr char kMagic[8] = {'W', 'R', 'E', 'N', 'D', 'S', 'K', '1'};
constexpr std::uint64_t kHeaderBytes = CFlashStore::kBytesPerSector;
constexpr std::uint64_t kBootLengthAt = 24;
// The longest boot loader path the driver reads, in characters.
constexpr std::size_t kMaxPath = 260;

void PutWord(BYTE* at, DWORD value)
{
    platform::PutRawWord(at, value);
}

} // namespace

CFlashStore::CFlashStore(ULONGLONG sectors, Layout layout) : m_sectors(sectors), m_layout(layout) {}

CFlashStore::~CFlashStore()
{
    CloseMedium();
}

std::shared_ptr<CFlashStore> CFlashStore::Install(Layout layout)
{
    auto store = std::make_shared<CFlashStore>(kDefaultSectors, layout);
    store->m_partitions.push_back({u"Part00", store->m_sectors, true});
    platform::RegisterDevice(u"DSK1:", store);
    return store;
}

std::string CFlashStore::FlashFilePath()
{
    return platform::UnitRoot() + "/board/DSK1.flash";
}

void CFlashStore::Uninstall()
{
    platform::UnregisterDevice(u"DSK1:");
}

bool CFlashStore::Open(DWORD, DWORD)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_poweredOff) {
        SetLastError(ERROR_NOT_READY);
        return false;
    }
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
    if (m_poweredOff) {
        SetLastError(ERROR_NOT_READY);
        return FALSE;
    }
    switch (static_cast<RawDiskIoctl>(code)) {
    case RawDiskIoctl::PageWrite:
        if (!in || inSize < kSectorRequestBytes)
            break;
        return RawWrite(Area::Pages, platform::DecodeSectorRequest(in));
    case RawDiskIoctl::RegionWrite: {
        if (!in || inSize < kRegionRequestBytes)
            break;
        const RawDiskRequest request = platform::DecodeRegionRequest(in);
        if (request.region > 1)
            break;
        return RawWrite(request.region == 0 ? Area::Region0 : Area::Region1, request);
    }
    case RawDiskIoctl::ImageRead:
        // The request comes in the output record.
        if (!out || outSize < kSectorRequestBytes)
            break;
        if (!RawRead(platform::DecodeSectorRequest(out)))
            return FALSE;
        if (returned)
            *returned = kSectorRequestBytes;
        return TRUE;
    case RawDiskIoctl::BootLoaderUpdate:
        if (!in || inSize < kBootLoaderRequestBytes)
            break;
        return UpdateBootLoader(platform::DecodeBootLoaderRequest(in));
    default:
        return StoreCall(code, in, inSize, out, outSize, returned);
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

BOOL CFlashStore::StoreCall(DWORD code, const BYTE* in, DWORD inSize, BYTE* out, DWORD outSize, DWORD* returned)
{
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

// The raw areas.

DWORD CFlashStore::AreaSectors(Area area) const
{
    switch (area) {
    case Area::BootLoader:
        return m_layout.bootSectors;
    case Area::Pages:
        return m_layout.pageSectors;
    case Area::Region0:
        return m_layout.region0Sectors;
    case Area::Region1:
        return m_layout.region1Sectors;
    }
    return 0;
}

std::uint64_t CFlashStore::AreaOffset(Area area) const
{
    std::uint64_t sectors = 0;
    for (Area before : {Area::BootLoader, Area::Pages, Area::Region0, Area::Region1}) {
        if (before == area)
            break;
        sectors += AreaSectors(before);
    }
    return kHeaderBytes + sectors * kBytesPerSector;
}

void CFlashStore::ReadLayout() const
{
    BYTE header[kHeaderBytes] = {};
    if (pread(m_medium, header, sizeof(header), 0) != static_cast<ssize_t>(sizeof(header))
        || std::memcmp(header, kMagic, sizeof(kMagic)) != 0)
        return;
    Layout layout;
    layout.bootSectors = platform::GetRawWord(header + 8);
    layout.pageSectors = platform::GetRawWord(header + 12);
    layout.region0Sectors = platform::GetRawWord(header + 16);
    layout.region1Sectors = platform::GetRawWord(header + 20);
    m_layout = layout;
}

bool CFlashStore::OpenMedium() const
{
    if (m_medium >= 0)
        return true;
    const std::string path = FlashFilePath();
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    m_medium = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (m_medium < 0)
        return false;
    struct stat info {};
    if (fstat(m_medium, &info) == 0 && static_cast<std::uint64_t>(info.st_size) >= kHeaderBytes) {
        ReadLayout();
        return true;
    }
    // A new flash: erased areas (a sparse file), the header first.
    BYTE header[kHeaderBytes] = {};
    std::memcpy(header, kMagic, sizeof(kMagic));
    PutWord(header + 8, m_layout.bootSectors);
    PutWord(header + 12, m_layout.pageSectors);
    PutWord(header + 16, m_layout.region0Sectors);
    PutWord(header + 20, m_layout.region1Sectors);
    const std::uint64_t total = AreaOffset(Area::Region1) + std::uint64_t(m_layout.region1Sectors) * kBytesPerSector;
    if (pwrite(m_medium, header, sizeof(header), 0) != static_cast<ssize_t>(sizeof(header))
        || ftruncate(m_medium, static_cast<off_t>(total)) != 0) {
        ::close(m_medium);
        m_medium = -1;
        return false;
    }
    return true;
}

void CFlashStore::CloseMedium()
{
    if (m_medium >= 0)
        ::close(m_medium);
    m_medium = -1;
}

bool CFlashStore::Land(std::uint64_t offset, const BYTE* data, std::size_t size)
{
    std::size_t allowed = size;
    if (m_powerBudget)
        allowed = static_cast<std::size_t>(std::min<std::uint64_t>(size, *m_powerBudget));
    if (allowed > 0 && pwrite(m_medium, data, allowed, static_cast<off_t>(offset)) != static_cast<ssize_t>(allowed)) {
        SetLastError(ERROR_WRITE_FAULT);
        return false;
    }
    m_written += allowed;
    if (m_powerBudget)
        *m_powerBudget -= allowed;
    if (allowed < size) {
        m_poweredOff = true;
        m_powerBudget.reset();
        NKDbgPrintfW(u"[DSK1] power cut\r\n");
        if (m_powerCutHook)
            m_powerCutHook();
        SetLastError(ERROR_NOT_READY);
        return false;
    }
    return true;
}

bool CFlashStore::ReadMedium(std::uint64_t offset, BYTE* data, std::size_t size) const
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = pread(m_medium, data + done, size - done, static_cast<off_t>(offset + done));
        if (got <= 0)
            return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

BOOL CFlashStore::RawWrite(Area area, const RawDiskRequest& request)
{
    if (!request.buffer || request.sectorCount == 0
        || std::uint64_t(request.startSector) + request.sectorCount > AreaSectors(area)) {
        SetLastError(ERROR_SECTOR_NOT_FOUND);
        return FALSE;
    }
    if (!OpenMedium()) {
        SetLastError(ERROR_NOT_READY);
        return FALSE;
    }
    return Land(AreaOffset(area) + std::uint64_t(request.startSector) * kBytesPerSector, request.buffer,
                std::size_t(request.sectorCount) * kBytesPerSector);
}

BOOL CFlashStore::RawRead(const RawDiskRequest& request)
{
    if (!request.buffer || request.sectorCount == 0
        || std::uint64_t(request.startSector) + request.sectorCount > AreaSectors(Area::Pages)) {
        SetLastError(ERROR_SECTOR_NOT_FOUND);
        return FALSE;
    }
    if (!OpenMedium()) {
        SetLastError(ERROR_NOT_READY);
        return FALSE;
    }
    if (!ReadMedium(AreaOffset(Area::Pages) + std::uint64_t(request.startSector) * kBytesPerSector, request.buffer,
                    std::size_t(request.sectorCount) * kBytesPerSector)) {
        SetLastError(ERROR_READ_FAULT);
        return FALSE;
    }
    if (m_corruptReads > 0) {
        --m_corruptReads;
        request.buffer[0] ^= 0xFF;
    }
    return TRUE;
}

BOOL CFlashStore::UpdateBootLoader(const WCHAR* path)
{
    if (!path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::u16string name;
    while (name.size() < kMaxPath && path[name.size()] != 0)
        name.push_back(path[name.size()]);
    HANDLE file = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    const DWORD capacity = m_layout.bootSectors * kBytesPerSector;
    std::vector<BYTE> image(capacity + 1);
    DWORD length = 0;
    const BOOL read = ReadFile(file, image.data(), capacity + 1, &length, nullptr);
    CloseHandle(file);
    if (!read || length == 0 || length > capacity) {
        SetLastError(length > capacity ? ERROR_DISK_FULL : ERROR_INVALID_DATA);
        return FALSE;
    }
    if (!OpenMedium()) {
        SetLastError(ERROR_NOT_READY);
        return FALSE;
    }
    BYTE word[4];
    PutWord(word, length);
    return Land(AreaOffset(Area::BootLoader), image.data(), length) && Land(kBootLengthAt, word, sizeof(word));
}

void CFlashStore::CutPowerAfter(std::uint64_t bytes)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_powerBudget = bytes;
}

void CFlashStore::OnPowerCut(std::function<void()> hook)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_powerCutHook = std::move(hook);
}

void CFlashStore::PowerOn()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_poweredOff = false;
    m_powerBudget.reset();
    CloseMedium();
}

bool CFlashStore::PoweredOff() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_poweredOff;
}

void CFlashStore::CorruptNextReads(int count)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_corruptReads = count;
}

std::vector<BYTE> CFlashStore::ReadArea(Area area, DWORD startSector, DWORD sectorCount) const
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (!OpenMedium() || std::uint64_t(startSector) + sectorCount > AreaSectors(area))
        return {};
    std::vector<BYTE> bytes(std::size_t(sectorCount) * kBytesPerSector);
    if (!ReadMedium(AreaOffset(area) + std::uint64_t(startSector) * kBytesPerSector, bytes.data(), bytes.size()))
        return {};
    return bytes;
}

bool CFlashStore::WriteArea(Area area, DWORD startSector, const std::vector<BYTE>& bytes)
{
    std::lock_guard<std::mutex> guard(m_lock);
    const std::uint64_t sectors = (bytes.size() + kBytesPerSector - 1) / kBytesPerSector;
    if (!OpenMedium() || startSector + sectors > AreaSectors(area))
        return false;
    const std::uint64_t offset = AreaOffset(area) + std::uint64_t(startSector) * kBytesPerSector;
    return pwrite(m_medium, bytes.data(), bytes.size(), static_cast<off_t>(offset))
        == static_cast<ssize_t>(bytes.size());
}

std::vector<BYTE> CFlashStore::BootLoader() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    BYTE word[4] = {};
    if (!OpenMedium() || !ReadMedium(kBootLengthAt, word, sizeof(word)))
        return {};
    const DWORD length = std::min(platform::GetRawWord(word), m_layout.bootSectors * kBytesPerSector);
    std::vector<BYTE> image(length);
    if (length > 0 && !ReadMedium(AreaOffset(Area::BootLoader), image.data(), length))
        return {};
    return image;
}

std::uint64_t CFlashStore::BytesWritten() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_written;
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
