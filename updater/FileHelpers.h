// The updater's file helpers: folder creation and deletion, byte sums over
// files and trees, a flat folder copy, the NAND store format and a font
// helper. Paths are the unit's.
#pragma once

#include "platform/base/Types.h"
#include "platform/gfx/Gdi.h"

#include <cstddef>
#include <vector>

// Creates the folder and its missing parents. Trailing blanks and
// backslashes are dropped; "\" alone is there already. True when the folder
// exists afterwards (false when the path names a file).
BOOL CreateFolderPath(LPCWSTR path);
BOOL FileExists(LPCWSTR path);
// Deletes the files in the folder (and, when recursive, its folders with
// everything in them); with removeFolder also the folder itself. Returns
// the number of files and folders removed: what is in use stays and is not
// counted.
int DeleteFolder(LPCWSTR path, BOOL removeFolder, BOOL recursive);
// The sum of all bytes of a file, as unsigned 8-bit values, modulo 2^32; 0
// when it cannot be opened.
DWORD SumFileBytes(LPCWSTR path);
// The sum of SumFileBytes over the files of a folder (and its folders when
// recursive), modulo 2^32.
DWORD SumFolderBytes(LPCWSTR path, BOOL recursive);
// Copies (overwriting) the files directly in a folder into another folder;
// sub-folders are not copied. False when a copy failed.
BOOL CopyFolderFiles(LPCWSTR from, LPCWSTR to);

// Results of FormatNandDisk.
inline constexpr int kFormatFailed = 0;
inline constexpr int kFormatDone = 1;
inline constexpr int kFormatNoStoreInfo = 2;
// Formats the flash store "DSK1:" and makes one partition "Part00" over it.
int FormatNandDisk();

// A font of the face, height, weight, italic and quality given, in the
// default character set.
HFONT CreateTextFont(LPCWSTR face, int height, int weight, BOOL italic, BYTE quality);

namespace updater {
// The byte sum of a buffer, added to sum (modulo 2^32).
DWORD AddByteSum(DWORD sum, const BYTE* data, std::size_t size);

// The last error as the result of a failure: never 0, which reads as
// success (ERROR_GEN_FAILURE when a failed call set none).
DWORD FailureCode();

// Result of a firmware file read whose size differs from what it said.
inline constexpr int kShortReadResult = 1903;
// Reads a firmware file whole. 0 on success; otherwise the last error of
// the open, size or read (logged as "<tag>: CreateFile Error(%d)" ...), -1
// without memory, kShortReadResult when fewer bytes came than its size.
int ReadFirmwareFile(LPCWSTR path, LPCWSTR tag, std::vector<BYTE>* data);
} // namespace updater
