// The keeping of the user's data, "\NAND\DATA" and everything under it,
// across the format of the NAND store during an update.
//
// The copy goes to the update medium ("\HDD"), which outlasts a power cut,
// never to memory. It is trusted only once it has been compared with the
// original file by file; then a small record beside it ("\HDD\_DATA_SAVE_.OK":
// the number of files and their byte sum, little-endian 32-bit words) marks
// it as complete. A record found at the start of a later run (the power went
// during an earlier one) means the copy holds the data and "\NAND\DATA" may
// not: the copy is used again, never taken anew. The data is put back only
// from a copy that still matches its record, and compared again once it is
// back; only then are the copy and its record removed.
#pragma once

#include "platform/base/Types.h"

namespace updater {
inline constexpr const WCHAR* kDataFolder = u"\\NAND\\DATA";
inline constexpr const WCHAR* kDataSaveFolder = u"\\HDD\\_DATA_SAVE_";
inline constexpr const WCHAR* kDataSaveRecord = u"\\HDD\\_DATA_SAVE_.OK";
} // namespace updater

class CDataBackup {
public:
    // What a folder holds: its files (recursively) and the sum of their
    // bytes.
    struct Digest {
        DWORD files = 0;
        DWORD sum = 0;
        bool operator==(const Digest&) const = default;
    };

    // Makes sure a complete, checked copy of the data is on the medium:
    // keeps one that matches its record, else copies the data anew,
    // compares the copy with it and writes the record. False when no sound
    // copy could be made (nothing may be formatted then).
    BOOL Save();
    // True when the record is there and the copy still matches it.
    BOOL IsSaved() const;
    // Puts a copy that matches its record back into "\NAND\DATA", compares
    // it and then removes the copy and the record. False (the copy stays)
    // when the copy does not match or the data did not come back whole.
    BOOL Restore();

    // The digest of a folder's tree; false when it cannot be read whole.
    static bool DigestOf(LPCWSTR folder, Digest* digest);
    // Copies a folder's tree (files and folders) into another folder.
    static bool CopyTree(LPCWSTR from, LPCWSTR to);
    // True when both trees hold the same files with the same bytes.
    static bool SameTree(LPCWSTR a, LPCWSTR b);

private:
    static bool ReadRecord(Digest* digest);
    static bool WriteRecord(const Digest& digest);
};
