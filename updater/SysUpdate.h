// The writer of the unit's system images on the raw flash driver "DSK1:":
// the boot loader, the OS image, the boot logo and the backup OS image.
//
// The OS image carries two CRCs in its header (words 4 and 6) that are
// checked before anything is written. It is written in 128 KiB pages and
// read back; the step succeeds only when what the flash returns is the file,
// byte for byte (and its CRCs hold), within three passes. The update
// progress sector (region 0, sector 3100) tells the boot loader how far the
// writing came: 1 and 2 around the boot loader, 3 when the OS image step
// begins, 4 once the file is checked, 5 after each write pass, and 6 only
// when the OS image was written and verified, so a flash whose OS image is
// not known good never says so. Every last chunk is padded with zeros, never
// with what the buffer held before.
#pragma once

#include "platform/base/Types.h"

#include <cstddef>
#include <vector>

// What the update progress sector says.
enum class OsUpdateStep : BYTE {
    BootLoaderBegin = 1,
    BootLoaderDone = 2,
    OsBegin = 3,
    OsFileChecked = 4,
    OsPassWritten = 5,
    OsDone = 6,
};

namespace updater {

inline constexpr const WCHAR* kBootLoaderFile = u"\\_MAKE_TEMP_\\_BOOT_.NB0";
inline constexpr const WCHAR* kOsImageFile = u"\\_MAKE_TEMP_\\_NK_.NB0.APZ";
inline constexpr const WCHAR* kBootLogoFile = u"\\_MAKE_TEMP_\\_LOGO_1.ROM";
inline constexpr const WCHAR* kBackupOsFile = u"\\HDD\\nk_backup.rom";

inline constexpr DWORD kOsPageBytes = 0x20000;
inline constexpr DWORD kOsFirstSector = 8;
inline constexpr DWORD kLogoChunkBytes = 4096;
inline constexpr DWORD kProgressSector = 3100;
inline constexpr DWORD kProgressStepByte = 510;
inline constexpr int kOsWritePasses = 3;
// The header words of an OS image: the CRC of its first 128 KiB and the CRC
// of the whole image.
inline constexpr std::size_t kOsCrcFirstWord = 4;
inline constexpr std::size_t kOsCrcSecondWord = 5;
inline constexpr std::size_t kOsCrcFullWord = 6;
inline constexpr std::size_t kOsHeaderWords = 7;

// The OS image's CRC: reflected CRC-32 with the reflected polynomial
// 0xD8018001, initial value 0, no final complement, over the 32-bit words
// [0, words) of the image (each fed lowest byte first), leaving out words 4
// and 5, and taking word 6 as 0 when zeroWord6 is set.
DWORD OsImageCrc(const BYTE* image, std::size_t words, bool zeroWord6);

} // namespace updater

class CSysUpdate {
public:
    CSysUpdate() = default;
    ~CSysUpdate();
    CSysUpdate(const CSysUpdate&) = delete;
    CSysUpdate& operator=(const CSysUpdate&) = delete;

    // Opens "DSK1:" for reading and writing; false when it is open already
    // or the open fails.
    BOOL OpenDisk();
    BOOL Close();

    // The driver writes "\_MAKE_TEMP_\_BOOT_.NB0" as the boot loader.
    BOOL UpdateEboot();
    // "\_MAKE_TEMP_\_NK_.NB0.APZ": true only when it was written and read
    // back as it is.
    BOOL UpdateNKBin();
    // "\_MAKE_TEMP_\_LOGO_1.ROM" into region 0 from sector 0; a logo that
    // would reach the update progress sector is refused.
    BOOL UpdateBootLogo();
    // "\HDD\nk_backup.rom" into region 1 from sector 0.
    BOOL UpdateNKBackUp();
    // Writes the update progress sector.
    BOOL WriteOsUpdateInfo(OsUpdateStep step);

private:
    bool OpenImageFile(LPCWSTR path, DWORD* length);
    void CloseImageFile();
    // Reads up to size bytes of the image file into the buffer and zeroes
    // the rest; false when the read fails.
    bool ReadChunk(BYTE* buffer, DWORD size);
    bool VerifyROMFile(DWORD length);
    bool CheckCrcs(const BYTE* image, std::size_t words, bool logged);
    bool Nand_HDWritePage(DWORD length);
    bool ReadOsimage_Compare(DWORD length);
    bool Recompare_VerifyROMFile(const BYTE* readBack, DWORD length);
    // Writes the open image file in chunks of chunkSectors sectors from
    // sector 0 of the region.
    bool WriteRegion(DWORD region, DWORD length, DWORD chunkSectors);

    HANDLE m_hDisk = INVALID_HANDLE_VALUE;
    HANDLE m_hFile = INVALID_HANDLE_VALUE;
    // The OS image as checked, zero-padded to cover at least 128 KiB.
    std::vector<BYTE> m_image;
};
