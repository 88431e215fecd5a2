#include "updater/PackageTrailer.h"

#include <zlib.h>

namespace updater {

const std::array<PackagePart, kPackagePartCount> kPackageParts = {{
    {u"_PLAYER_.ZIP", kWordPlayerOffset, kWordPlayerSize},
    {u"_BOOT_.NB0", kWordBootOffset, kWordBootSize},
    {u"_NK_.NB0.APZ", kWordOsOffset, kWordOsSize},
    {u"_LOGO_1.ROM", kWordLogo1Offset, kWordLogo1Size},
    {u"_LOGO_2.ROM", kWordLogo2Offset, kWordLogo2Size},
    {u"_DMB_.BIN", kWordDmbOffset, kWordDmbSize},
    {u"_BT_.DFU", kWordBtOffset, kWordBtSize},
    {u"_DVDMICOM_.BIN", kWordDvdMicomOffset, kWordDvdMicomSize},
    {u"_MICOM_.REC", kWordMicomOffset, kWordMicomSize},
}};

CPackageTrailer CPackageTrailer::FromBytes(const BYTE* bytes)
{
    CPackageTrailer trailer;
    for (int i = 0; i < kTrailerWords; ++i) {
        const BYTE* p = bytes + 4 * i;
        trailer.words[i] = static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) | (static_cast<DWORD>(p[2]) << 16)
            | (static_cast<DWORD>(p[3]) << 24);
    }
    return trailer;
}

void CPackageTrailer::ToBytes(BYTE* bytes) const
{
    for (int i = 0; i < kTrailerWords; ++i) {
        BYTE* p = bytes + 4 * i;
        p[0] = static_cast<BYTE>(words[i]);
        p[1] = static_cast<BYTE>(words[i] >> 8);
        p[2] = static_cast<BYTE>(words[i] >> 16);
        p[3] = static_cast<BYTE>(words[i] >> 24);
    }
}

DWORD CPackageTrailer::ComputeCrc() const
{
    CPackageTrailer zeroed = *this;
    zeroed.words[kWordCrc] = 0;
    BYTE bytes[kTrailerSize];
    zeroed.ToBytes(bytes);
    // zlib's crc32 is the reflected 0xEDB88320 CRC with all-ones start and
    // final complement.
    return static_cast<DWORD>(crc32(crc32(0L, Z_NULL, 0), bytes, kTrailerSize));
}

void CPackageTrailer::Seal()
{
    words[kWordSignature] = kPackageSignature;
    words[kWordCrc] = ComputeCrc();
}

bool CPackageTrailer::IsSealed() const
{
    return words[kWordSignature] == kPackageSignature && words[kWordCrc] == ComputeCrc();
}

} // namespace updater
