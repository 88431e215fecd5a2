// The trailer of an update package: the last 100 bytes of the file, 25
// little-endian 32-bit words that name the signature, the versions, where
// each part lies in the file, a CRC-32 of the trailer itself and the byte sum
// of the installed application. The package has no header: the trailer is
// the only table of contents. The reader (CUpdateManager) and the builder
// (wrenpack) share this one description of the layout.
#pragma once

#include "platform/base/Types.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace updater {

inline constexpr DWORD kTrailerSize = 100;
inline constexpr int kTrailerWords = 25;
inline constexpr DWORD kPackageSignature = 0xEA551E88u;

// The words of the trailer.
enum TrailerWord : int {
    kWordSignature = 0,
    kWordReserved = 1,
    kWordFirmwareVersion = 2, // packed: bits 23-16 major, 15-8 minor, 7-0 patch
    kWordPlayerVersion = 3,
    kWordFormatFlag = 4,
    kWordPlayerOffset = 5,
    kWordPlayerSize = 6,
    kWordOsOffset = 7,
    kWordOsSize = 8,
    kWordBootOffset = 9,
    kWordBootSize = 10,
    kWordLogo1Offset = 11, // the two logos: offsets first, then sizes
    kWordLogo2Offset = 12,
    kWordLogo1Size = 13,
    kWordLogo2Size = 14,
    kWordDmbOffset = 15,
    kWordDmbSize = 16,
    kWordBtOffset = 17,
    kWordBtSize = 18,
    kWordDvdMicomOffset = 19,
    kWordDvdMicomSize = 20,
    kWordMicomOffset = 21,
    kWordMicomSize = 22,
    kWordCrc = 23,          // CRC-32 of the 100 bytes with this word set to 0
    kWordPlayerByteSum = 24 // byte sum of the application tree once installed
};

// One part a package may carry: its file name in the temporary folder and
// the words that place it.
struct PackagePart {
    const WCHAR* fileName;
    int offsetWord;
    int sizeWord;
};

// The parts in the order they are extracted.
inline constexpr std::size_t kPackagePartCount = 9;
extern const std::array<PackagePart, kPackagePartCount> kPackageParts;

// Packs a version as the trailer keeps it.
inline constexpr DWORD PackVersion(DWORD major, DWORD minor, DWORD patch)
{
    return ((major & 0xFF) << 16) | ((minor & 0xFF) << 8) | (patch & 0xFF);
}

struct CPackageTrailer {
    std::array<DWORD, kTrailerWords> words{};

    // Reads the 100 bytes (little-endian words) as they stand.
    static CPackageTrailer FromBytes(const BYTE* bytes);
    // The 100 bytes of the trailer.
    void ToBytes(BYTE* bytes) const;

    // The CRC-32 (IEEE 802.3) of the trailer with its CRC word set to 0.
    DWORD ComputeCrc() const;
    // Sets the signature and the CRC word.
    void Seal();
    // The signature is there and the CRC word matches the trailer.
    bool IsSealed() const;

    bool HasPart(const PackagePart& part) const { return words[part.sizeWord] != 0; }
};

} // namespace updater
