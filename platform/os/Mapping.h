// File mappings: blocks of memory shared by name between the programs of the
// unit (which all run in this process).
//
// Only memory-backed mappings exist here (file = INVALID_HANDLE_VALUE). A
// mapping is a kernel object in the handle table; a named one is found again
// by its name while any handle or view still holds it. Each view is its own
// address range over the same memory, so writes through one view are seen
// through every other; the memory lives until the last handle is closed and
// the last view unmapped. New memory reads as zero.
#pragma once

#include "platform/base/Handle.h"
#include "platform/base/Types.h"

// Page protections of CreateFileMappingW (other bits, such as SEC_COMMIT,
// are accepted and ignored).
inline constexpr DWORD PAGE_READONLY = 0x02;
inline constexpr DWORD PAGE_READWRITE = 0x04;

// Access of MapViewOfFile.
inline constexpr DWORD FILE_MAP_WRITE = 0x0002;
inline constexpr DWORD FILE_MAP_READ = 0x0004;
inline constexpr DWORD FILE_MAP_ALL_ACCESS = 0x000F001F;

// View offsets are multiples of this.
inline constexpr DWORD kMappingGranularity = 0x10000;

inline constexpr DWORD ERROR_INVALID_ADDRESS = 487;
inline constexpr DWORD ERROR_MAPPED_ALIGNMENT = 1132;

// Creates a mapping of sizeHigh:sizeLow bytes, or opens the existing mapping
// of that name: then the last error is ERROR_ALREADY_EXISTS and the existing
// mapping keeps its size and protection. Null on failure: a file other than
// INVALID_HANDLE_VALUE (ERROR_NOT_SUPPORTED), a size of 0 or an unknown
// protection (ERROR_INVALID_PARAMETER), no memory (ERROR_NOT_ENOUGH_MEMORY).
// The security argument is ignored.
HANDLE CreateFileMappingW(HANDLE file, LPVOID security, DWORD protect, DWORD sizeHigh, DWORD sizeLow, LPCWSTR name);

// Maps bytes (0 = up to the end) from offsetHigh:offsetLow. Null on failure:
// a handle that is not a mapping (ERROR_INVALID_HANDLE), write access to a
// read-only mapping or a range outside it (ERROR_ACCESS_DENIED), an offset
// that is not a multiple of kMappingGranularity (ERROR_MAPPED_ALIGNMENT).
// A read-only view is read-only memory.
LPVOID MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow, DWORD bytes);

// Unmaps the view that starts at view; FALSE (ERROR_INVALID_ADDRESS) for
// any other address.
BOOL UnmapViewOfFile(LPCVOID view);

namespace platform {
// Number of mapped views (diagnostics and leak tests).
std::size_t MappedViewCount();
} // namespace platform
