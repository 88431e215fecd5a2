// Writes zip archives for the updater's tests and fuzz seeds, with the
// names, dates, attributes and methods each entry should carry.
#pragma once

#include "platform/base/Types.h"

#include <zip.h>

#include <string>
#include <vector>

namespace updatertest {

struct ZipEntry {
    std::string name; // as stored, '/' separated; a folder ends with '/'
    std::vector<BYTE> data;
    WORD dosDate = (43 << 9) | (1 << 5) | 1;    // 1 January 2023
    WORD dosTime = (10 << 11) | (20 << 5) | 15; // 10:20:30
    DWORD externalAttributes = 0x20;
    bool store = false; // stored instead of deflated
};

// Writes the archive at a host path; false when minizip refuses.
inline bool WriteZip(const std::string& hostPath, const std::vector<ZipEntry>& entries)
{
    zipFile zip = zipOpen64(hostPath.c_str(), APPEND_STATUS_CREATE);
    if (!zip)
        return false;
    bool ok = true;
    for (const ZipEntry& entry : entries) {
        zip_fileinfo info{};
        info.dosDate = (static_cast<uLong>(entry.dosDate) << 16) | entry.dosTime;
        info.external_fa = entry.externalAttributes;
        ok = ok
            && zipOpenNewFileInZip(zip, entry.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                   entry.store ? 0 : Z_DEFLATED, Z_DEFAULT_COMPRESSION)
                == ZIP_OK
            && (entry.data.empty()
                || zipWriteInFileInZip(zip, entry.data.data(), static_cast<unsigned>(entry.data.size())) == ZIP_OK)
            && zipCloseFileInZip(zip) == ZIP_OK;
    }
    return zipClose(zip, nullptr) == ZIP_OK && ok;
}

} // namespace updatertest
