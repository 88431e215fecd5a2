#include "updater/ZipArchive.h"

#include "platform/base/Debug.h"
#include "platform/base/Error.h"
#include "platform/base/Text.h"
#include "platform/io/CodePage.h"
#include "platform/io/File.h"
#include "platform/io/Io.h"
#include "updater/FileHelpers.h"

#include <unzip.h>

#include <new>
#include <vector>

namespace {

// ---- the archive file, read through the unit's file calls ----

voidpf ZCALLBACK OpenArchive(voidpf, const void* name, int mode)
{
    if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ)
        return nullptr;
    const std::u16string path = platform::FromUtf8(static_cast<const char*>(name));
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? nullptr : file;
}

uLong ZCALLBACK ReadArchive(voidpf, voidpf stream, void* buffer, uLong size)
{
    DWORD read = 0;
    if (!ReadFile(static_cast<HANDLE>(stream), buffer, static_cast<DWORD>(size), &read, nullptr))
        return 0;
    return read;
}

uLong ZCALLBACK WriteArchive(voidpf, voidpf, const void*, uLong)
{
    return 0;
}

ZPOS64_T ZCALLBACK TellArchive(voidpf, voidpf stream)
{
    LONG high = 0;
    SetLastError(ERROR_SUCCESS);
    const DWORD low = SetFilePointer(static_cast<HANDLE>(stream), 0, &high, FILE_CURRENT);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != ERROR_SUCCESS)
        return static_cast<ZPOS64_T>(-1);
    return (static_cast<ZPOS64_T>(static_cast<DWORD>(high)) << 32) | low;
}

long ZCALLBACK SeekArchive(voidpf, voidpf stream, ZPOS64_T offset, int origin)
{
    DWORD method = FILE_BEGIN;
    if (origin == ZLIB_FILEFUNC_SEEK_CUR)
        method = FILE_CURRENT;
    else if (origin == ZLIB_FILEFUNC_SEEK_END)
        method = FILE_END;
    LONG high = static_cast<LONG>(offset >> 32);
    SetLastError(ERROR_SUCCESS);
    const DWORD low
        = SetFilePointer(static_cast<HANDLE>(stream), static_cast<LONG>(offset & 0xFFFFFFFFu), &high, method);
    return (low == INVALID_SET_FILE_POINTER && GetLastError() != ERROR_SUCCESS) ? -1 : 0;
}

int ZCALLBACK CloseArchive(voidpf, voidpf stream)
{
    return CloseHandle(static_cast<HANDLE>(stream)) ? 0 : -1;
}

int ZCALLBACK ArchiveError(voidpf, voidpf)
{
    return 0;
}

unzFile Zip(void* handle)
{
    return static_cast<unzFile>(handle);
}

// An entry name as unit text: UTF-8 when the entry says so, else the unit's
// code page.
std::u16string NameText(const std::string& name, DWORD flags)
{
    if (flags & 0x800)
        return platform::FromUtf8(name);
    if (name.empty())
        return {};
    const int length = MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), nullptr, 0);
    if (length <= 0)
        return platform::FromUtf8(name);
    std::u16string text(static_cast<std::size_t>(length), u'\0');
    MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), text.data(), length);
    return text;
}

bool IsInside(const std::string& hostPath, const std::string& hostFolder)
{
    if (hostPath.empty() || hostFolder.empty())
        return false;
    if (hostPath == hostFolder)
        return true;
    const std::string prefix = hostFolder.back() == '/' ? hostFolder : hostFolder + "/";
    return hostPath.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

bool updater::IsSafeEntryName(const std::string& name, bool isFolder)
{
    if (name.empty() || name.size() >= MAX_PATH)
        return false;
    std::string rest = name;
    if (isFolder && rest.back() == '\\')
        rest.pop_back();
    if (rest.empty() || rest.front() == '\\')
        return false;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = rest.find('\\', start);
        const std::string part = rest.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (part.empty() || part == "." || part == "..")
            return false;
        for (unsigned char c : part)
            if (c < 0x20 || c == ':' || c == '/' || c == 0x7F)
                return false;
        if (end == std::string::npos)
            return true;
        start = end + 1;
    }
}

bool updater::DosDateTimeToFileTime(WORD date, WORD time, FILETIME* utc)
{
    SYSTEMTIME st{};
    st.wDay = date & 0x1F;
    st.wMonth = (date >> 5) & 0x0F;
    st.wYear = static_cast<WORD>(1980 + (date >> 9));
    st.wSecond = static_cast<WORD>((time & 0x1F) * 2);
    st.wMinute = (time >> 5) & 0x3F;
    st.wHour = (time >> 11) & 0x1F;
    FILETIME local{};
    if (st.wDay < 1 || st.wDay > 31 || st.wMonth < 1 || st.wMonth > 12 || st.wSecond > 58 || st.wMinute > 59
        || st.wHour > 23 || !SystemTimeToFileTime(&st, &local) || !LocalFileTimeToFileTime(&local, utc)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return true;
}

CZipArchive::CZipArchive() : m_buffer(new (std::nothrow) BYTE[kZipBufferSize]) {}

CZipArchive::CZipArchive(LPCWSTR path) : CZipArchive()
{
    Open(path);
}

CZipArchive::~CZipArchive()
{
    Close();
}

BOOL CZipArchive::Open(LPCWSTR path)
{
    Close();
    if (!path || !*path)
        return FALSE;
    zlib_filefunc64_def io{};
    io.zopen64_file = OpenArchive;
    io.zread_file = ReadArchive;
    io.zwrite_file = WriteArchive;
    io.ztell64_file = TellArchive;
    io.zseek64_file = SeekArchive;
    io.zclose_file = CloseArchive;
    io.zerror_file = ArchiveError;
    const std::string name = platform::ToUtf8(path);
    m_zip = unzOpen2_64(name.c_str(), &io);
    if (!m_zip)
        return FALSE;
    m_target = u"\\NAND Disk";
    m_count = 0;
    return TRUE;
}

BOOL CZipArchive::Close()
{
    if (!m_zip)
        return FALSE;
    unzCloseCurrentFile(Zip(m_zip));
    const int result = unzClose(Zip(m_zip));
    m_zip = nullptr;
    return result == UNZ_OK ? TRUE : FALSE;
}

DWORD CZipArchive::GetFileCount()
{
    unz_global_info64 info{};
    if (!m_zip || unzGetGlobalInfo64(Zip(m_zip), &info) != UNZ_OK)
        return m_count = 0;
    return m_count = info.number_entry > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<DWORD>(info.number_entry);
}

BOOL CZipArchive::SetTargetFolder(LPCWSTR path)
{
    if (!path || !*path)
        return FALSE;
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return FALSE;
    m_target = path;
    return CreateFolderPath(path);
}

BOOL CZipArchive::GetCurrentFileInfo(ZipEntryInfo* out)
{
    if (!m_zip || !out)
        return FALSE;
    unz_file_info64 info{};
    char name[MAX_PATH + 1] = {};
    char comment[256] = {};
    if (unzGetCurrentFileInfo64(Zip(m_zip), &info, name, sizeof(name), nullptr, 0, comment, sizeof(comment) - 1)
        != UNZ_OK)
        return FALSE;
    // A name that did not fit is never taken cut short.
    out->name = info.size_filename < sizeof(name) ? std::string(name, info.size_filename) : std::string(MAX_PATH, 'x');
    for (char& c : out->name)
        if (c == '/')
            c = '\\';
    out->comment = comment;
    out->versionMadeBy = static_cast<DWORD>(info.version);
    out->versionNeeded = static_cast<DWORD>(info.version_needed);
    out->flags = static_cast<DWORD>(info.flag);
    out->compressionMethod = static_cast<DWORD>(info.compression_method);
    out->dosDate = static_cast<WORD>(info.dosDate >> 16);
    out->dosTime = static_cast<WORD>(info.dosDate & 0xFFFF);
    out->crc = static_cast<DWORD>(info.crc);
    out->compressedSize = info.compressed_size;
    out->uncompressedSize = info.uncompressed_size;
    out->internalAttributes = static_cast<DWORD>(info.internal_fa);
    out->externalAttributes = static_cast<DWORD>(info.external_fa);
    out->isFolder
        = (info.external_fa & FILE_ATTRIBUTE_DIRECTORY) != 0 || (!out->name.empty() && out->name.back() == '\\');
    return TRUE;
}

BOOL CZipArchive::MatchExtension(LPCWSTR extension)
{
    if (!extension || !*extension)
        return TRUE;
    ZipEntryInfo info;
    if (!GetCurrentFileInfo(&info))
        return FALSE;
    const std::u16string name = NameText(info.name, info.flags);
    const std::size_t dot = name.find_last_of(u'.');
    return dot != std::u16string::npos && lstrcmpiW(name.c_str() + dot + 1, extension) == 0;
}

BOOL CZipArchive::GoToFirstFile(LPCWSTR extension)
{
    if (!m_zip || unzGoToFirstFile(Zip(m_zip)) != UNZ_OK)
        return FALSE;
    return MatchExtension(extension) ? TRUE : GoToNextFile(extension);
}

BOOL CZipArchive::GoToNextFile(LPCWSTR extension)
{
    if (!m_zip)
        return FALSE;
    while (unzGoToNextFile(Zip(m_zip)) == UNZ_OK) {
        if (MatchExtension(extension))
            return TRUE;
    }
    return FALSE;
}

std::u16string CZipArchive::EntryPath(const std::u16string& folder, const ZipEntryInfo& info, BOOL dropPaths)
{
    if (!updater::IsSafeEntryName(info.name, info.isFolder)) {
        NKDbgPrintfW(u"[%S] ==> Refused: the name leaves the target folder\r\n", info.name);
        SetLastError(ERROR_BAD_PATHNAME);
        return {};
    }
    std::u16string name = NameText(info.name, info.flags);
    if (dropPaths && !info.isFolder) {
        const std::size_t split = name.find_last_of(u'\\');
        if (split != std::u16string::npos)
            name = name.substr(split + 1);
    }
    std::u16string path = folder;
    if (path.empty() || path.back() != u'\\')
        path += u'\\';
    path += name;
    while (info.isFolder && !path.empty() && path.back() == u'\\')
        path.pop_back();
    if (path.size() >= MAX_PATH) {
        NKDbgPrintfW(u"[%S] ==> Refused: the path is too long\r\n", info.name);
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return {};
    }
    return path;
}

BOOL CZipArchive::ExtractCurrentFile(LPCWSTR folderArgument, BOOL dropPaths)
{
    if (!m_zip)
        return FALSE;
    const std::u16string folder = folderArgument && *folderArgument ? folderArgument : m_target;
    if (!CreateFolderPath(folder.c_str()))
        return FALSE;
    ZipEntryInfo info;
    if (!GetCurrentFileInfo(&info))
        return FALSE;
    const std::u16string path = EntryPath(folder, info, dropPaths);
    if (path.empty())
        return FALSE;

    // The folder the entry goes to, created, must resolve inside the
    // target: a link on the way must not lead elsewhere.
    const std::u16string parent = info.isFolder ? path : path.substr(0, path.find_last_of(u'\\'));
    if (!CreateFolderPath(parent.c_str()))
        return FALSE;
    if (!IsInside(platform::HostPath(parent.c_str(), true), platform::HostPath(folder.c_str(), true))) {
        NKDbgPrintfW(u"[%s] ==> Refused: the folder resolves outside the target\r\n", path);
        SetLastError(ERROR_BAD_PATHNAME);
        return FALSE;
    }
    if (info.isFolder)
        return TRUE;
    if (!m_buffer) {
        SetLastError(ERROR_OUTOFMEMORY);
        return FALSE;
    }

    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        NKDbgPrintfW(u"[%s] ==> Open Failed\r\n", path);
        return FALSE;
    }
    if (unzOpenCurrentFile(Zip(m_zip)) != UNZ_OK) {
        NKDbgPrintfW(u"==> unzOpenCurrentFile Failed\r\n");
        CloseHandle(file);
        DeleteFileW(path.c_str());
        return FALSE;
    }
    int read = 0;
    bool written = true;
    while ((read = unzReadCurrentFile(Zip(m_zip), m_buffer.get(), kZipBufferSize)) > 0) {
        DWORD done = 0;
        if (!WriteFile(file, m_buffer.get(), static_cast<DWORD>(read), &done, nullptr)
            || done != static_cast<DWORD>(read)) {
            NKDbgPrintfW(u"==> WriteFile Failed !!(%s)\r\n", path);
            written = false;
            break;
        }
    }
    // Closing the entry checks the data against its CRC.
    const int closed = unzCloseCurrentFile(Zip(m_zip));
    if (!written || read != 0 || closed != UNZ_OK) {
        if (written)
            NKDbgPrintfW(u"[%s] ==> Failed [%d]!!\r\n", path, read != 0 ? read : closed);
        CloseHandle(file);
        DeleteFileW(path.c_str());
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    FILETIME time{};
    if (updater::DosDateTimeToFileTime(info.dosDate, info.dosTime, &time))
        SetFileTime(file, &time, nullptr, &time);
    CloseHandle(file);
    // Only the read-only bit is taken from the archive: hidden or system
    // files are not the archive's to make.
    SetFileAttributesW(path.c_str(),
                       (info.externalAttributes & FILE_ATTRIBUTE_READONLY) ? FILE_ATTRIBUTE_READONLY
                                                                           : FILE_ATTRIBUTE_NORMAL);
    return TRUE;
}

BOOL CZipArchive::CheckAllNames(BOOL dropPaths)
{
    if (unzGoToFirstFile(Zip(m_zip)) != UNZ_OK)
        return FALSE;
    do {
        ZipEntryInfo info;
        if (!GetCurrentFileInfo(&info) || EntryPath(m_target, info, dropPaths).empty())
            return FALSE;
    } while (unzGoToNextFile(Zip(m_zip)) == UNZ_OK);
    return TRUE;
}

BOOL CZipArchive::ExtractAll(BOOL dropPaths)
{
    if (!m_zip || !CreateFolderPath(m_target.c_str()))
        return FALSE;
    const DWORD count = GetFileCount();
    if (count == 0 || !CheckAllNames(dropPaths) || unzGoToFirstFile(Zip(m_zip)) != UNZ_OK)
        return FALSE;
    DWORD done = 0;
    for (;;) {
        if (!ExtractCurrentFile(nullptr, dropPaths))
            return FALSE;
        ++done;
        if (m_progress)
            m_progress(count, done);
        const int next = unzGoToNextFile(Zip(m_zip));
        if (next == UNZ_END_OF_LIST_OF_FILE)
            return TRUE;
        if (next != UNZ_OK)
            return FALSE;
    }
}
