#include "updater/UpdateManager.h"

#include "platform/base/Clock.h"
#include "platform/base/Debug.h"
#include "platform/base/Error.h"
#include "platform/io/File.h"
#include "platform/io/Io.h"

#include <new>
#include <string>

using namespace updater;

CUpdateManager::~CUpdateManager()
{
    ClosePackage();
}

void CUpdateManager::ClosePackage()
{
    if (m_package != INVALID_HANDLE_VALUE) {
        CloseHandle(m_package);
        m_package = INVALID_HANDLE_VALUE;
    }
}

DWORD CUpdateManager::TrailerWord(int i) const
{
    if (!m_trailer || i < 0 || i >= kTrailerWords)
        return 0;
    return m_trailer->words[i];
}

int CUpdateManager::HasPart(int sizeWord) const
{
    if (!m_trailer)
        return -1;
    return m_trailer->words[sizeWord] != 0 ? 1 : 0;
}

int CUpdateManager::HasLogo(int n) const
{
    if (n != 0 && n != 1)
        return 0;
    return HasPart(kWordLogo1Size + n);
}

BOOL CUpdateManager::SetStorageMemory(DWORD)
{
    // The memory division calls are looked up at run time on the unit and
    // are not there here.
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
}

bool CUpdateManager::PartsInRange(std::int64_t fileSize) const
{
    const std::int64_t body = fileSize - kTrailerSize;
    for (const PackagePart& part : kPackageParts) {
        if (!m_trailer->HasPart(part))
            continue;
        const std::int64_t offset = m_trailer->words[part.offsetWord];
        const std::int64_t size = m_trailer->words[part.sizeWord];
        if (offset + size > body) {
            NKDbgPrintfW(u"PrepareExtract(%s) -- part out of range (offset %u, size %u, package %lld)\r\n",
                         part.fileName, static_cast<DWORD>(offset), static_cast<DWORD>(size),
                         static_cast<long long>(fileSize));
            return false;
        }
    }
    return true;
}

BOOL CUpdateManager::PrepareExtract(LPCWSTR, BOOL resizeStorage)
{
    const DWORD start = GetTickCount();
    if (resizeStorage) {
        SetStorageMemory(70);
        CreateDirectoryW(kMakeTempFolder, nullptr);
    }
    ClosePackage();
    m_trailer.reset();

    m_package = CreateFileW(kPackagePath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_package == INVALID_HANDLE_VALUE) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }

    DWORD high = 0;
    const DWORD low = GetFileSize(m_package, &high);
    const std::int64_t fileSize = (static_cast<std::int64_t>(high) << 32) | low;
    BYTE bytes[kTrailerSize];
    DWORD read = 0;
    if ((low == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS) || fileSize < kTrailerSize + 1
        || SetFilePointer(m_package, -static_cast<LONG>(kTrailerSize), nullptr, FILE_END) == INVALID_SET_FILE_POINTER
        || !ReadFile(m_package, bytes, kTrailerSize, &read, nullptr) || read != kTrailerSize) {
        ClosePackage();
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }

    CPackageTrailer trailer = CPackageTrailer::FromBytes(bytes);
    if (!trailer.IsSealed()) {
        NKDbgPrintfW(u"Checksum Failed or Invalid Signature...\r\n");
        ClosePackage();
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    m_trailer = trailer;
    if (!PartsInRange(fileSize)) {
        ClosePackage();
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }

    bool ok = true;
    DWORD error = ERROR_SUCCESS;
    for (const PackagePart& part : kPackageParts) {
        if (!trailer.HasPart(part))
            continue;
        const std::u16string target = std::u16string(kMakeTempFolder) + u"\\" + part.fileName;
        NKDbgPrintfW(u"PrepareExtract(%s) -- before\r\n", target);
        if (!CopyToFolder(m_package, target.c_str(), trailer.words[part.offsetWord], trailer.words[part.sizeWord])) {
            error = GetLastError();
            ok = false;
            break;
        }
    }
    ClosePackage();
    NKDbgPrintfW(u"CUpdateManager::PrepareExtract(%s)  %d \r\n", ok ? u"OK" : u"FAIL",
                 static_cast<int>(GetTickCount() - start));
    SetLastError(ok ? ERROR_SUCCESS : error);
    return ok ? TRUE : FALSE;
}

BOOL CUpdateManager::CopyToFolder(HANDLE package, LPCWSTR target, DWORD offset, DWORD size)
{
    HANDLE file = CreateFileW(target, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    DWORD error = ERROR_SUCCESS;
    if (!m_copyBuffer)
        m_copyBuffer.reset(new (std::nothrow) BYTE[kCopyChunk]);
    if (!m_copyBuffer)
        error = ERROR_OUTOFMEMORY;
    else {
        // The offset is unsigned: with a high word it is taken as 64-bit.
        LONG high = 0;
        SetLastError(ERROR_SUCCESS);
        if (SetFilePointer(package, static_cast<LONG>(offset), &high, FILE_BEGIN) == INVALID_SET_FILE_POINTER
            && GetLastError() != ERROR_SUCCESS)
            error = ERROR_READ_FAULT;
    }
    DWORD left = size;
    while (error == ERROR_SUCCESS && left > 0) {
        const DWORD chunk = left < kCopyChunk ? left : kCopyChunk;
        DWORD read = 0;
        if (!ReadFile(package, m_copyBuffer.get(), chunk, &read, nullptr) || read != chunk) {
            error = ERROR_READ_FAULT;
            break;
        }
        DWORD written = 0;
        if (!WriteFile(file, m_copyBuffer.get(), chunk, &written, nullptr) || written != chunk) {
            error = ERROR_WRITE_FAULT;
            break;
        }
        left -= chunk;
    }
    CloseHandle(file);
    if (error != ERROR_SUCCESS)
        DeleteFileW(target);
    NKDbgPrintfW(u"CUpdateManager::CopyToFolder(%s) [%s]\r\n", target, error == ERROR_SUCCESS ? u"OK" : u"FAIL");
    SetLastError(error);
    return error == ERROR_SUCCESS ? TRUE : FALSE;
}
