#include "updater/SysUpdate.h"

#include "platform/base/Clock.h"
#include "platform/base/Debug.h"
#include "platform/base/Error.h"
#include "platform/base/Handle.h"
#include "platform/io/Io.h"
#include "platform/io/RawDisk.h"

#include <algorithm>
#include <array>
#include <cstring>

using namespace updater;

namespace {

constexpr DWORD kCrcPolynomial = 0xD8018001;
constexpr DWORD kFirstCheckWords = 0x8000; // 128 KiB
constexpr DWORD kPageSectors = kOsPageBytes / kRawDiskSectorBytes;
constexpr DWORD kLogoChunkSectors = kLogoChunkBytes / kRawDiskSectorBytes;
// The boot loader's path travels in a buffer of this many bytes.
constexpr std::size_t kBootPathBytes = 192;
constexpr DWORD kRetryWaitMs = 1000;

const std::array<DWORD, 256>& CrcTable()
{
    static const std::array<DWORD, 256> table = [] {
        std::array<DWORD, 256> made{};
        for (DWORD i = 0; i < 256; ++i) {
            DWORD crc = i;
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc & 1) ? (crc >> 1) ^ kCrcPolynomial : crc >> 1;
            made[i] = crc;
        }
        return made;
    }();
    return table;
}

DWORD SectorsFor(DWORD length)
{
    return static_cast<DWORD>((std::uint64_t(length) + kRawDiskSectorBytes - 1) / kRawDiskSectorBytes);
}

DWORD BufferLow(const void* buffer)
{
    return static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(buffer));
}

} // namespace

namespace updater {

DWORD OsImageCrc(const BYTE* image, std::size_t words, bool zeroWord6)
{
    const std::array<DWORD, 256>& table = CrcTable();
    DWORD crc = 0;
    for (std::size_t w = 0; w < words; ++w) {
        if (w == kOsCrcFirstWord || w == kOsCrcSecondWord)
            continue;
        for (int b = 0; b < 4; ++b) {
            const BYTE byte = (zeroWord6 && w == kOsCrcFullWord) ? 0 : image[4 * w + b];
            crc = table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
        }
    }
    return crc;
}

} // namespace updater

CSysUpdate::~CSysUpdate()
{
    CloseImageFile();
    Close();
}

BOOL CSysUpdate::OpenDisk()
{
    if (m_hDisk != INVALID_HANDLE_VALUE)
        return FALSE;
    m_hDisk = CreateFileW(u"DSK1:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_FLAG_WRITE_THROUGH,
                          nullptr);
    return m_hDisk != INVALID_HANDLE_VALUE;
}

BOOL CSysUpdate::Close()
{
    if (m_hDisk != INVALID_HANDLE_VALUE) {
        CloseHandle(m_hDisk);
        m_hDisk = INVALID_HANDLE_VALUE;
    }
    return TRUE;
}

bool CSysUpdate::OpenImageFile(LPCWSTR path, DWORD* length)
{
    CloseImageFile();
    m_hFile = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_hFile == INVALID_HANDLE_VALUE)
        return false;
    *length = GetFileSize(m_hFile, nullptr);
    if (*length == INVALID_FILE_SIZE || SetFilePointer(m_hFile, 0, nullptr, FILE_BEGIN) != 0) {
        CloseImageFile();
        return false;
    }
    return true;
}

void CSysUpdate::CloseImageFile()
{
    if (m_hFile != INVALID_HANDLE_VALUE) {
        CloseHandle(m_hFile);
        m_hFile = INVALID_HANDLE_VALUE;
    }
}

bool CSysUpdate::ReadChunk(BYTE* buffer, DWORD size)
{
    DWORD got = 0;
    DWORD read = 0;
    while (got < size) {
        if (!ReadFile(m_hFile, buffer + got, size - got, &read, nullptr))
            return false;
        if (read == 0)
            break;
        got += read;
    }
    std::fill(buffer + got, buffer + size, 0);
    return true;
}

BOOL CSysUpdate::WriteOsUpdateInfo(OsUpdateStep step)
{
    std::array<BYTE, kRawDiskSectorBytes> sector{};
    sector[kProgressStepByte] = static_cast<BYTE>(step);
    RawDiskRequest request{0, kProgressSector, 1, sector.data()};
    BYTE record[kRegionRequestBytes];
    platform::EncodeRegionRequest(request, record);
    DWORD returned = 0;
    if (!DeviceIoControl(m_hDisk, static_cast<DWORD>(RawDiskIoctl::RegionWrite), record, sizeof(record), nullptr, 0,
                         &returned, nullptr)) {
        NKDbgPrintfW(u"WriteOsUpdateInfo FAIL \"%d\" \r\n", static_cast<int>(step));
        return FALSE;
    }
    NKDbgPrintfW(u"WriteOsUpdateInfo OK \r\n");
    NKDbgPrintfW(u"WriteOsUpdateInfo \"%d\" \r\n", static_cast<int>(step));
    return TRUE;
}

BOOL CSysUpdate::UpdateEboot()
{
    WriteOsUpdateInfo(OsUpdateStep::BootLoaderBegin);
    std::vector<WCHAR> path(kBootPathBytes / sizeof(WCHAR), 0);
    std::copy_n(kBootLoaderFile, std::char_traits<WCHAR>::length(kBootLoaderFile), path.begin());
    BYTE record[kBootLoaderRequestBytes];
    platform::EncodeBootLoaderRequest(path.data(), record);
    DWORD returned = 0;
    BOOL ok = DeviceIoControl(m_hDisk, static_cast<DWORD>(RawDiskIoctl::BootLoaderUpdate), record, sizeof(record),
                              nullptr, 0, &returned, nullptr);
    // Done only when the driver took it: a failed boot loader must not read
    // as written.
    if (ok)
        ok = WriteOsUpdateInfo(OsUpdateStep::BootLoaderDone);
    NKDbgPrintfW(u"CSysUpdate::UpdateEboot %s.\r\n", ok ? u"OK" : u"FAIL");
    return ok;
}

bool CSysUpdate::CheckCrcs(const BYTE* image, std::size_t words, bool logged)
{
    const auto word = [image](std::size_t w) { return platform::GetRawWord(image + 4 * w); };
    if (OsImageCrc(image, kFirstCheckWords, false) != word(kOsCrcFirstWord)) {
        if (logged)
            NKDbgPrintfW(u"VerifyROMFile 128kbyte CRC Error \n");
        return false;
    }
    if (logged)
        NKDbgPrintfW(u"Second CRC Check 0~End --> \n");
    const DWORD full = OsImageCrc(image, words, true);
    if (logged)
        NKDbgPrintfW(u"Second CRC Check 0~End <-- \n");
    if (full != word(kOsCrcFullWord)) {
        if (logged)
            NKDbgPrintfW(u"VerifyROMFile FULL OS IMAGE CRC Error \n");
        return false;
    }
    return true;
}

bool CSysUpdate::VerifyROMFile(DWORD length)
{
    NKDbgPrintfW(u"VerifyROMFile ++ \r\n");
    NKDbgPrintfW(u"filesize[0x%x] \r\n", length);
    const DWORD words = length / 4;
    if (words < kOsHeaderWords) {
        NKDbgPrintfW(u"VerifyROMFile no image header \r\n");
        return false;
    }
    // The first check covers 128 KiB whatever the length: a shorter image
    // is taken as padded with zeros.
    m_image.assign(std::max<std::size_t>(length, 4 * kFirstCheckWords), 0);
    if (SetFilePointer(m_hFile, 0, nullptr, FILE_BEGIN) != 0 || !ReadChunk(m_image.data(), length))
        return false;
    return CheckCrcs(m_image.data(), words, true);
}

bool CSysUpdate::Nand_HDWritePage(DWORD length)
{
    std::vector<BYTE> buffer(kOsPageBytes, 0);
    const DWORD pages = length / kOsPageBytes + (length % kOsPageBytes != 0 ? 1 : 0);
    if (!ReadChunk(buffer.data(), kOsPageBytes))
        return false;
    for (DWORD j = 0; j < pages; ++j) {
        const RawDiskRequest request{0, kOsFirstSector + kPageSectors * j, kPageSectors, buffer.data()};
        BYTE record[kSectorRequestBytes];
        platform::EncodeSectorRequest(request, record);
        DWORD returned = 0;
        if (!DeviceIoControl(m_hDisk, static_cast<DWORD>(RawDiskIoctl::PageWrite), record, sizeof(record), nullptr, 0,
                             &returned, nullptr)) {
            NKDbgPrintfW(u"Nand_HDWritePage Error : pageaddr:%x, buf:%x\n", request.startSector,
                         BufferLow(buffer.data()));
            return false;
        }
        if (!ReadChunk(buffer.data(), kOsPageBytes))
            return false;
    }
    return true;
}

bool CSysUpdate::Recompare_VerifyROMFile(const BYTE* readBack, DWORD length)
{
    if (!CheckCrcs(readBack, length / 4, false)) {
        NKDbgPrintfW(u"Recompare CRC Check Failed ...  \r\n");
        return false;
    }
    // The flash must hold this file, not merely some image whose own CRCs
    // hold (an old one that was never overwritten, say).
    if (std::memcmp(readBack, m_image.data(), length) != 0) {
        NKDbgPrintfW(u"Recompare Data Check Failed ...  \r\n");
        return false;
    }
    NKDbgPrintfW(u"Recompare_VerifyROMFile OK\r\n");
    return true;
}

bool CSysUpdate::ReadOsimage_Compare(DWORD length)
{
    // Whole sectors come back, and the first check reads 128 KiB.
    const DWORD sectors = SectorsFor(length);
    std::vector<BYTE> readBack(std::max<std::size_t>(std::size_t(sectors) * kRawDiskSectorBytes, 4 * kFirstCheckWords),
                               0);
    const RawDiskRequest request{0, kOsFirstSector, sectors, readBack.data()};
    BYTE record[kSectorRequestBytes];
    platform::EncodeSectorRequest(request, record);
    DWORD returned = 0;
    if (!DeviceIoControl(m_hDisk, static_cast<DWORD>(RawDiskIoctl::ImageRead), nullptr, 0, record, sizeof(record),
                         &returned, nullptr)) {
        NKDbgPrintfW(u"ReadOsimage_Compare DISK_HD_READ Fail \r\n");
        return false;
    }
    NKDbgPrintfW(u"ReadOsimage_Compare OK \r\n");
    return Recompare_VerifyROMFile(readBack.data(), length);
}

BOOL CSysUpdate::UpdateNKBin()
{
    WriteOsUpdateInfo(OsUpdateStep::OsBegin);
    DWORD length = 0;
    bool verified = false;
    if (OpenImageFile(kOsImageFile, &length) && VerifyROMFile(length)) {
        WriteOsUpdateInfo(OsUpdateStep::OsFileChecked);
        for (int pass = 1; pass <= kOsWritePasses; ++pass) {
            const bool written = SetFilePointer(m_hFile, 0, nullptr, FILE_BEGIN) == 0 && Nand_HDWritePage(length);
            WriteOsUpdateInfo(OsUpdateStep::OsPassWritten);
            if (written && ReadOsimage_Compare(length)) {
                NKDbgPrintfW(u"Kernel ReadOsimage_Compare Success...");
                verified = true;
                break;
            }
            NKDbgPrintfW(u"Kernel ReadOsimage_Compare Fail... \r\n");
            Sleep(kRetryWaitMs);
            NKDbgPrintfW(u"Kernel UpdateOS Retry %d ... \r\n", pass);
        }
    }
    // Only a verified image is reported done, to the caller and to the boot
    // loader.
    const bool ok = verified && WriteOsUpdateInfo(OsUpdateStep::OsDone);
    CloseImageFile();
    m_image.clear();
    m_image.shrink_to_fit();
    NKDbgPrintfW(u"CSysUpdate::UpdateNKBin %s.\r\n", ok ? u"OK" : u"FAIL");
    return ok ? TRUE : FALSE;
}

bool CSysUpdate::WriteRegion(DWORD region, DWORD length, DWORD chunkSectors)
{
    const DWORD chunkBytes = chunkSectors * kRawDiskSectorBytes;
    std::vector<BYTE> buffer(chunkBytes, 0);
    const DWORD chunks = length / chunkBytes + (length % chunkBytes != 0 ? 1 : 0);
    if (!ReadChunk(buffer.data(), chunkBytes))
        return false;
    for (DWORD i = 0; i < chunks; ++i) {
        const RawDiskRequest request{region, chunkSectors * i, chunkSectors, buffer.data()};
        BYTE record[kRegionRequestBytes];
        platform::EncodeRegionRequest(request, record);
        DWORD returned = 0;
        if (!DeviceIoControl(m_hDisk, static_cast<DWORD>(RawDiskIoctl::RegionWrite), record, sizeof(record), nullptr, 0,
                             &returned, nullptr)) {
            if (region == 1)
                NKDbgPrintfW(u"Nand_HDWritePage Error : pageaddr:%x, buf:%x\n", request.startSector,
                             BufferLow(buffer.data()));
            return false;
        }
        if (!ReadChunk(buffer.data(), chunkBytes))
            return false;
    }
    return true;
}

BOOL CSysUpdate::UpdateBootLogo()
{
    DWORD length = 0;
    bool ok = OpenImageFile(kBootLogoFile, &length);
    // The logo shares region 0 with the update progress sector, which it
    // must not reach: it is written in whole chunks.
    const std::uint64_t chunks = (std::uint64_t(length) + kLogoChunkBytes - 1) / kLogoChunkBytes;
    if (ok && chunks * kLogoChunkSectors > kProgressSector) {
        NKDbgPrintfW(u"CSysUpdate::UpdateBootLogo too large [%d]\r\n", length);
        ok = false;
    }
    ok = ok && WriteRegion(0, length, kLogoChunkSectors);
    NKDbgPrintfW(u"CSysUpdate::UpdateBootLogo %s.\r\n", ok ? u"OK" : u"FAIL");
    CloseImageFile();
    return ok ? TRUE : FALSE;
}

BOOL CSysUpdate::UpdateNKBackUp()
{
    DWORD length = 0;
    bool ok = OpenImageFile(kBackupOsFile, &length);
    if (ok) {
        NKDbgPrintfW(u"SaveBackupProgram  FileSize:%d PageCount:%d (%d %d)  \r\n", length,
                     length / kOsPageBytes + (length % kOsPageBytes != 0 ? 1 : 0), length / kOsPageBytes,
                     length % kOsPageBytes);
        ok = WriteRegion(1, length, kPageSectors);
    }
    CloseImageFile();
    NKDbgPrintfW(u"CSysUpdate::UpdateNKBackUp %s.\r\n", ok ? u"OK" : u"FAIL");
    return ok ? TRUE : FALSE;
}
