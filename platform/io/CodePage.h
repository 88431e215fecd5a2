// Conversion between the unit's code pages and UTF-16.
//
// The unit's ANSI (and OEM) code page is Korean 949 (Unified Hangul Code);
// UTF-8 and UTF-7 are the others in use. The conversions go through iconv,
// so the tables are the C library's.
#pragma once

#include "platform/base/Types.h"

inline constexpr UINT CP_ACP = 0;
inline constexpr UINT CP_OEMCP = 1;
inline constexpr UINT CP_THREAD_ACP = 3;
inline constexpr UINT CP_UTF7 = 65000;
inline constexpr UINT CP_UTF8 = 65001;

inline constexpr DWORD MB_PRECOMPOSED = 0x01;
inline constexpr DWORD MB_ERR_INVALID_CHARS = 0x08;
inline constexpr DWORD WC_ERR_INVALID_CHARS = 0x80;

inline constexpr DWORD ERROR_NO_UNICODE_TRANSLATION = 1113;

// The code page that CP_ACP, CP_OEMCP and CP_THREAD_ACP name: 949.
UINT GetACP();

// Converts byteCount bytes (-1: a zero-terminated text, the terminator
// converted too) into UTF-16. With wideCount 0 only the size is returned.
// Returns the characters written (or needed), 0 on failure:
// ERROR_INVALID_PARAMETER for an unknown code page or bad arguments,
// ERROR_INSUFFICIENT_BUFFER when the result does not fit (the buffer is then
// left untouched), ERROR_NO_UNICODE_TRANSLATION for invalid input with
// MB_ERR_INVALID_CHARS. Without that flag each invalid byte becomes U+FFFD.
// Other flags are accepted and have no effect.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR bytes, int byteCount, LPWSTR wide, int wideCount);

// Converts wideCount characters (-1: zero-terminated, terminator included)
// into the code page. With byteCount 0 only the size is returned. A
// character that code page 949 cannot hold becomes defaultChar (its first
// one or two bytes; "?" when null) and sets *usedDefault. An unpaired
// surrogate fails with ERROR_NO_UNICODE_TRANSLATION under
// WC_ERR_INVALID_CHARS, and is otherwise converted as U+FFFD. UTF-8 and
// UTF-7 never use the default character (*usedDefault is set to FALSE).
// Errors as for MultiByteToWideChar.
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideCount, LPSTR bytes, int byteCount,
                        LPCSTR defaultChar, BOOL* usedDefault);
