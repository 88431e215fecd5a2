// Checks the update package "\HDD\WrenUpdate.UPD" and copies each part it
// carries into the temporary folder "\_MAKE_TEMP_", from where the update
// steps take them.
//
// Every part named by the trailer must lie inside the package, before the
// trailer, and is checked before the first byte is written: a package with
// a part out of range is refused whole (last error 13), so a damaged or
// crafted trailer never makes the updater copy garbage or read past the
// file. A read that returns fewer bytes than the part still needs is a
// failed read (last error 30), never a shorter part; the file of a part
// that failed is removed.
#pragma once

#include "platform/base/Types.h"
#include "platform/io/Io.h"
#include "updater/PackageTrailer.h"

#include <memory>
#include <optional>
#include <vector>

namespace updater {

inline constexpr const WCHAR* kPackagePath = u"\\HDD\\WrenUpdate.UPD";
inline constexpr const WCHAR* kMakeTempFolder = u"\\_MAKE_TEMP_";
inline constexpr DWORD kCopyChunk = 0x100000;

} // namespace updater

class CUpdateManager {
public:
    CUpdateManager() = default;
    ~CUpdateManager();
    CUpdateManager(const CUpdateManager&) = delete;
    CUpdateManager& operator=(const CUpdateManager&) = delete;

    // Reads and checks the trailer of "\HDD\WrenUpdate.UPD" (the path given
    // is not used) and copies every present part into "\_MAKE_TEMP_". True
    // when the trailer is valid and every part was copied; the last error
    // is 0 then, else 2 (no package), 13 (bad trailer or a part out of
    // range), 14, 29 or 30 (see CopyToFolder).
    BOOL PrepareExtract(LPCWSTR packagePath, BOOL resizeStorage);
    // Copies size bytes from offset of the package into a new file at
    // target: last error 2 when the file cannot be created, 14 without a
    // copy buffer, 30 on a failed or short read, 29 on a failed write.
    BOOL CopyToFolder(HANDLE package, LPCWSTR target, DWORD offset, DWORD size);
    // Moves the boundary between the object store and program memory.
    // There is no such division on this system: false.
    BOOL SetStorageMemory(DWORD megabytes);

    // The trailer read last.
    BOOL HasTrailer() const { return m_trailer.has_value(); }
    // Word i of the trailer (0 without one).
    DWORD TrailerWord(int i) const;
    DWORD GetFirmwareVersion() const { return TrailerWord(updater::kWordFirmwareVersion); }
    DWORD GetPlayerVersion() const { return TrailerWord(updater::kWordPlayerVersion); }
    DWORD GetFormatFlag() const { return TrailerWord(updater::kWordFormatFlag); }
    // 1 when the part is there, 0 when not, -1 without a trailer.
    int HasApplication() const { return HasPart(updater::kWordPlayerSize); }
    int HasBootLoader() const { return HasPart(updater::kWordBootSize); }
    int HasOSImage() const { return HasPart(updater::kWordOsSize); }
    int HasLogo(int n) const;
    int HasMicom() const { return HasPart(updater::kWordMicomSize); }
    int HasDVDMicom() const { return HasPart(updater::kWordDvdMicomSize); }
    int HasDMB() const { return HasPart(updater::kWordDmbSize); }
    int HasBluetooth() const { return HasPart(updater::kWordBtSize); }

private:
    int HasPart(int sizeWord) const;
    void ClosePackage();
    // True when every present part lies within the package's body.
    bool PartsInRange(std::int64_t fileSize) const;

    std::optional<updater::CPackageTrailer> m_trailer;
    HANDLE m_package = INVALID_HANDLE_VALUE;
    std::unique_ptr<BYTE[]> m_copyBuffer;
};
