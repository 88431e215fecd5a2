// The check of the micom's firmware file, an S-record file, before any of
// it is sent: the download hands the micom one line at a time and cannot
// take back what it sent, so a file that would stop half-way must be
// refused before the micom's loader is started.
//
// A sound file is lines of S-records, each ended by CR (an LF after it is
// ignored): first the header "S0030000FC", then data and count records
// (S1, S2, S3, S5, S6), last the end record "S70500000000FA", and nothing
// after it. Every record has hex digits only, its count matches its length,
// its checksum holds, and it is shorter than 128 characters, the longest
// line the download sends.
#pragma once

#include "platform/base/Types.h"

#include <cstddef>

enum class MicomFileFault {
    None,
    NoLine,          // no line ended by CR at all (an empty file too)
    LineTooLong,     // 128 characters or more
    NotCrTerminated, // a line ended by LF alone, or by the end of the file
    NotARecord,      // a line (an empty one too) that does not start with 'S'
    BadHeader,       // the first line is not "S0030000FC"
    BadRecord,       // not hex, odd length, or a count that does not match
    BadChecksum,
    UnexpectedType, // S0 after the first line, S4, S8, S9
    BadEnd,         // an S7 record other than "S70500000000FA"
    EndNotLast,     // anything but line ends after the S7 record
    MissingEnd,     // no S7 record
};

namespace updater {

inline constexpr const WCHAR* kMicomFile = u"\\_MAKE_TEMP_\\_MICOM_.REC";
// Lines the download sends are shorter than this.
inline constexpr std::size_t kMicomLineLimit = 128;

// The first fault of the file's bytes, or None.
MicomFileFault CheckMicomRecords(const BYTE* data, std::size_t size);

} // namespace updater

// True when the micom file at path (by default "\_MAKE_TEMP_\_MICOM_.REC")
// is sound. Logs "CMainWIndow::CheckMICOM(OK)" or "(BROKEN)".
BOOL CheckMICOM(LPCWSTR path = updater::kMicomFile);
