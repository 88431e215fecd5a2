// The registry: HKEY_LOCAL_MACHINE with its keys and values.
//
// Key and value names compare ignoring case and keep the case they were
// created with. A value is a type and its bytes, kept exactly as set; the
// unit uses REG_DWORD (4 bytes) and REG_SZ (UTF-16 text with its terminator),
// REG_BINARY works the same way. Access rights are not checked: every key
// handle may read and write.
//
// The whole store lives in one file, <root>/registry/HKLM. Every change
// (a new key, a value set or deleted) writes the store to a temporary file,
// flushes it to the disk, renames it over the old one and flushes the
// folder: a power cut leaves either the old or the new file. A change that
// cannot be saved fails with its error and is not kept, so what the program
// reads always matches what a restart would find. At load, a file that is
// not a store of ours, or is damaged (its check sum does not match), is
// moved aside to HKLM.bad and the registry starts empty, with one debug
// line.
//
// Key handles are entries of the registry's own handle table (values are
// never the predefined keys); a closed handle is recognised and refused
// with ERROR_INVALID_HANDLE.
#pragma once

#include "platform/base/Types.h"

#include <string>

struct HKEY__;
using HKEY = HKEY__*;
using PHKEY = HKEY*;
using REGSAM = DWORD;

inline const HKEY HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000002u));

// Value types.
inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_MULTI_SZ = 7;

// Dispositions of RegCreateKeyExW.
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Options of RegCreateKeyExW (every key is kept on disk).
inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0;

// Access rights (accepted, not checked).
inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_READ = 0x00020019;
inline constexpr REGSAM KEY_WRITE = 0x00020006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0x000F003F;

inline constexpr DWORD ERROR_KEY_DELETED = 1018;

struct SECURITY_ATTRIBUTES;

// Opens subKey below hKey, creating it and every missing key on its way.
// *disposition (when given) tells REG_CREATED_NEW_KEY or
// REG_OPENED_EXISTING_KEY. A null or empty subKey opens hKey itself again.
// Backslashes separate the names; empty names (leading, trailing or doubled
// backslashes) are skipped. The class, options and security are ignored.
LONG RegCreateKeyExW(HKEY hKey, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options, REGSAM samDesired,
                     SECURITY_ATTRIBUTES* security, PHKEY result, DWORD* disposition);
// Opens an existing key; ERROR_FILE_NOT_FOUND when it does not exist.
LONG RegOpenKeyExW(HKEY hKey, LPCWSTR subKey, DWORD options, REGSAM samDesired, PHKEY result);
// Sets a value (a null or empty name is the key's default value).
// ERROR_INVALID_PARAMETER for a REG_DWORD that is not 4 bytes, null data
// with a size, or more than kMaxRegistryValueBytes.
LONG RegSetValueExW(HKEY hKey, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
// Reads a value: its type into *type, its bytes into data, their number
// into *size. With data null only the type and the size are told. When
// *size is too small, ERROR_MORE_DATA with the size needed in *size and
// nothing copied. ERROR_FILE_NOT_FOUND when there is no such value.
LONG RegQueryValueExW(HKEY hKey, LPCWSTR valueName, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size);
// ERROR_FILE_NOT_FOUND when there is no such value.
LONG RegDeleteValueW(HKEY hKey, LPCWSTR valueName);
// Closing a predefined key does nothing and succeeds.
LONG RegCloseKey(HKEY hKey);

namespace platform {

inline constexpr DWORD kMaxRegistryValueBytes = 1024 * 1024;

// Host path of the store file.
std::string RegistryFilePath();

// Drops the store held in memory and reads it again from the file of the
// current unit root, as a restart would. Open key handles stay valid; they
// name their key by its path.
void ReloadRegistry();

// Number of open key handles (diagnostics and leak tests).
std::size_t OpenRegistryKeyCount();

// Faults injected into the next saves, for tests of power cuts: the
// temporary file is left half written, or fully written but never renamed
// over the store. The change then fails with ERROR_GEN_FAILURE.
enum class RegistrySaveFault { None, HalfWritten, BeforeRename };
void SetRegistrySaveFault(RegistrySaveFault fault);

} // namespace platform
