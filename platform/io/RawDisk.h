// The raw calls of the flash store's block driver "DSK1:" beside the storage
// manager's: whole-sector writes and reads of the system image areas, and
// the boot loader update. Sectors are 512 bytes.
//
// Each call carries a small request record. The records hold the address of
// the caller's buffer, which the driver reads or fills in place, so they are
// exchanged in memory only; the encoders below lay them out field by field:
// 32-bit words little-endian, the buffer address pointer-sized.
#pragma once

#include "platform/base/Types.h"

#include <cstdint>
#include <cstring>

enum class RawDiskIoctl : DWORD {
    // Request {start sector, sector count, buffer} as input: writes the
    // sectors of the page area (where the OS image lives) from the buffer.
    PageWrite = 0x222804,
    // No input; the output record is the request {start sector, sector
    // count, buffer}: fills the buffer from the page area.
    ImageRead = 0x222808,
    // Input {address of a wide path, 0}: the driver reads the boot loader
    // file itself and writes it to the boot loader area.
    BootLoaderUpdate = 0x22280C,
    // Request {region, start sector, sector count, buffer} as input: writes
    // the sectors of a region (0 logo and update progress, 1 backup OS).
    RegionWrite = 0x222814,
};

inline constexpr DWORD kRawDiskSectorBytes = 512;

// A sector request: region (RegionWrite only), first sector, sector count
// and the buffer of count x 512 bytes.
struct RawDiskRequest {
    DWORD region = 0;
    DWORD startSector = 0;
    DWORD sectorCount = 0;
    BYTE* buffer = nullptr;
};

// Sizes of the encoded records.
inline constexpr DWORD kSectorRequestBytes = 8 + sizeof(void*);  // PageWrite, ImageRead
inline constexpr DWORD kRegionRequestBytes = 12 + sizeof(void*); // RegionWrite
inline constexpr DWORD kBootLoaderRequestBytes = sizeof(void*) + 4;

namespace platform {

inline void PutRawWord(BYTE* at, DWORD value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<BYTE>(value >> (8 * i));
}

inline DWORD GetRawWord(const BYTE* at)
{
    return static_cast<DWORD>(at[0]) | static_cast<DWORD>(at[1]) << 8 | static_cast<DWORD>(at[2]) << 16
        | static_cast<DWORD>(at[3]) << 24;
}

inline void PutRawAddress(BYTE* at, const void* address)
{
    std::uint64_t value = reinterpret_cast<std::uintptr_t>(address);
    for (std::size_t i = 0; i < sizeof(void*); ++i)
        at[i] = static_cast<BYTE>(value >> (8 * i));
}

inline BYTE* GetRawAddress(const BYTE* at)
{
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < sizeof(void*); ++i)
        value |= static_cast<std::uint64_t>(at[i]) << (8 * i);
    return reinterpret_cast<BYTE*>(static_cast<std::uintptr_t>(value));
}

// {start sector, sector count, buffer} into kSectorRequestBytes bytes.
inline void EncodeSectorRequest(const RawDiskRequest& request, BYTE* out)
{
    PutRawWord(out, request.startSector);
    PutRawWord(out + 4, request.sectorCount);
    PutRawAddress(out + 8, request.buffer);
}

inline RawDiskRequest DecodeSectorRequest(const BYTE* in)
{
    RawDiskRequest request;
    request.startSector = GetRawWord(in);
    request.sectorCount = GetRawWord(in + 4);
    request.buffer = GetRawAddress(in + 8);
    return request;
}

// {region, start sector, sector count, buffer} into kRegionRequestBytes.
inline void EncodeRegionRequest(const RawDiskRequest& request, BYTE* out)
{
    PutRawWord(out, request.region);
    EncodeSectorRequest(request, out + 4);
}

inline RawDiskRequest DecodeRegionRequest(const BYTE* in)
{
    RawDiskRequest request = DecodeSectorRequest(in + 4);
    request.region = GetRawWord(in);
    return request;
}

// {address of the wide path, 0} into kBootLoaderRequestBytes.
inline void EncodeBootLoaderRequest(const WCHAR* path, BYTE* out)
{
    PutRawAddress(out, path);
    PutRawWord(out + sizeof(void*), 0);
}

inline const WCHAR* DecodeBootLoaderRequest(const BYTE* in)
{
    return reinterpret_cast<const WCHAR*>(GetRawAddress(in));
}

} // namespace platform
