#include "updater/FileHelpers.h"

#include "platform/base/Clock.h"
#include "platform/base/Debug.h"
#include "platform/base/Error.h"
#include "platform/base/Text.h"
#include "platform/io/File.h"
#include "platform/io/Io.h"
#include "platform/io/Store.h"
#include "updater/FileFinder.h"

#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

bool IsSeparator(WCHAR c)
{
    return c == u'\\' || c == u'/';
}

bool IsBlank(WCHAR c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

// The find pattern over everything in a folder: "*" after a separator,
// "\*" otherwise, the path itself when it ends in '*'.
std::u16string AllPattern(const std::u16string& path)
{
    if (!path.empty() && path.back() == u'*')
        return path;
    if (!path.empty() && IsSeparator(path.back()))
        return path + u"*";
    return path + u"\\*";
}

bool CreateFolderPathOf(std::u16string path)
{
    while (!path.empty() && (IsBlank(path.back()) || path.back() == u'\\'))
        path.pop_back();
    if (path.empty())
        return true; // the root
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES)
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const std::size_t split = path.find_last_of(u'\\');
    if (split != std::u16string::npos && split > 0 && !CreateFolderPathOf(path.substr(0, split)))
        return false;
    return CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

} // namespace

BOOL CreateFolderPath(LPCWSTR path)
{
    if (!path || !*path)
        return FALSE;
    if (lstrcmpW(path, u"\\") == 0)
        return TRUE;
    return CreateFolderPathOf(path) ? TRUE : FALSE;
}

BOOL FileExists(LPCWSTR path)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(path, &data);
    if (find == INVALID_HANDLE_VALUE)
        return FALSE;
    FindClose(find);
    return TRUE;
}

int DeleteFolder(LPCWSTR path, BOOL removeFolder, BOOL recursive)
{
    if (!path || !*path)
        return 0;
    int count = 0;
    FileFinder finder;
    const std::u16string pattern = AllPattern(path);
    if (finder.FindFirst(pattern.c_str())) {
        do {
            if (finder.IsDots())
                continue;
            const std::u16string entry = finder.Path();
            if (finder.IsFolder()) {
                if (recursive)
                    count += DeleteFolder(entry.c_str(), TRUE, TRUE);
            } else if (DeleteFileW(entry.c_str())) {
                ++count;
            }
        } while (finder.FindNext());
    }
    finder.Close();
    if (removeFolder) {
        std::u16string folder = finder.Folder();
        while (folder.size() > 1 && IsSeparator(folder.back()))
            folder.pop_back();
        if (RemoveDirectoryW(folder.c_str()))
            ++count;
    }
    return count;
}

DWORD updater::AddByteSum(DWORD sum, const BYTE* data, std::size_t size)
{
    // Eight bytes at a time: the bytes of each word are added in 16-bit
    // lanes, two bytes per lane and word: at most 510 a word, so 128 words
    // stay below 65536.
    constexpr std::uint64_t kLow = 0x00FF00FF00FF00FFull;
    std::size_t i = 0;
    while (size - i >= 8) {
        const std::size_t words = std::min<std::size_t>((size - i) / 8, 128);
        std::uint64_t lanes = 0;
        for (std::size_t w = 0; w < words; ++w, i += 8) {
            std::uint64_t v;
            std::memcpy(&v, data + i, 8);
            lanes += (v & kLow) + ((v >> 8) & kLow);
        }
        std::uint64_t total = (lanes & 0xFFFF) + ((lanes >> 16) & 0xFFFF) + ((lanes >> 32) & 0xFFFF) + (lanes >> 48);
        sum += static_cast<DWORD>(total);
    }
    for (; i < size; ++i)
        sum += data[i];
    return sum;
}

DWORD SumFileBytes(LPCWSTR path)
{
    HANDLE file
        = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    std::vector<BYTE> buffer(64 * 1024);
    DWORD sum = 0;
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) || read == 0)
            break;
        sum = updater::AddByteSum(sum, buffer.data(), read);
    }
    CloseHandle(file);
    return sum;
}

DWORD SumFolderBytes(LPCWSTR path, BOOL recursive)
{
    if (!path || !*path)
        return 0;
    DWORD sum = 0;
    FileFinder finder;
    const std::u16string pattern = AllPattern(path);
    if (!finder.FindFirst(pattern.c_str()))
        return 0;
    do {
        if (finder.IsDots())
            continue;
        const std::u16string entry = finder.Path();
        if (!finder.IsFolder())
            sum += SumFileBytes(entry.c_str());
        else if (recursive)
            sum += SumFolderBytes(entry.c_str(), TRUE);
    } while (finder.FindNext());
    return sum;
}

BOOL CopyFolderFiles(LPCWSTR from, LPCWSTR to)
{
    if (!from || !to || !*from || !*to)
        return FALSE;
    std::u16string target = to;
    if (!IsSeparator(target.back()))
        target += u'\\';
    FileFinder finder;
    const std::u16string pattern = AllPattern(from);
    if (!finder.FindFirst(pattern.c_str()))
        return TRUE; // nothing to copy
    BOOL ok = TRUE;
    do {
        if (finder.IsFolder())
            continue;
        const std::u16string source = finder.Path();
        const std::u16string destination = target + finder.Name();
        if (!CopyFileW(source.c_str(), destination.c_str(), FALSE))
            ok = FALSE;
    } while (finder.FindNext());
    return ok;
}

int FormatNandDisk()
{
    HANDLE store = OpenStore(u"DSK1:");
    if (store == INVALID_HANDLE_VALUE) {
        NKDbgPrintfW(u"Format NAND OpenStore failed !!!\r\n");
        return kFormatFailed;
    }
    STOREINFO info{};
    info.cbSize = sizeof(info);
    if (!GetStoreInfo(store, &info)) {
        NKDbgPrintfW(u"Format NAND GetStoreInfo failed !!!\r\n");
        CloseHandle(store);
        return kFormatNoStoreInfo;
    }
    if (!DismountStore(store)) {
        NKDbgPrintfW(u"Format NAND DismountStore failed !!!\r\n");
        CloseHandle(store);
        return kFormatFailed;
    }
    const DWORD start = GetTickCount();
    if (!FormatStore(store)) {
        NKDbgPrintfW(u"Format NAND FormatStore failed !!!\r\n");
        CloseHandle(store);
        return kFormatFailed;
    }
    NKDbgPrintfW(u"Format took [%d]ms\r\n", static_cast<int>(GetTickCount() - start));
    CloseHandle(store);
    store = OpenStore(u"DSK1:");
    if (store == INVALID_HANDLE_VALUE) {
        NKDbgPrintfW(u"ReOpenStore failed !!!\r\n");
        return kFormatFailed;
    }
    info = {};
    info.cbSize = sizeof(info);
    if (!GetStoreInfo(store, &info)) {
        NKDbgPrintfW(u"ReGetStoreInfo failed !!!\r\n");
        CloseHandle(store);
        return kFormatFailed;
    }
    if (!CreatePartition(store, u"Part00", info.snNumSectors)) {
        NKDbgPrintfW(u"Format NAND CreatePartition failed !!!\r\n");
        CloseHandle(store);
        return kFormatFailed;
    }
    NKDbgPrintfW(u"CreatePartition [OK]\r\n");
    CloseHandle(store);
    return kFormatDone;
}

HFONT CreateTextFont(LPCWSTR face, int height, int weight, BOOL italic, BYTE quality)
{
    LOGFONTW font{};
    font.lfHeight = height;
    font.lfWeight = weight;
    font.lfItalic = italic ? 1 : 0;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = quality;
    if (face) {
        const std::size_t length = std::min<std::size_t>(platform::TextLength(face), LF_FACESIZE - 1);
        std::memcpy(font.lfFaceName, face, length * sizeof(WCHAR));
    }
    return CreateFontIndirectW(&font);
}

namespace updater {

DWORD FailureCode()
{
    const DWORD error = GetLastError();
    return error != 0 ? error : ERROR_GEN_FAILURE;
}

int ReadFirmwareFile(LPCWSTR path, LPCWSTR tag, std::vector<BYTE>* data)
{
    HANDLE file
        = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const int result = static_cast<int>(FailureCode());
        NKDbgPrintfW(u"%s: CreateFile Error(%d)\r\n", tag, result);
        return result;
    }
    int result = 0;
    const DWORD size = GetFileSize(file, nullptr);
    if (size == INVALID_FILE_SIZE) {
        result = static_cast<int>(FailureCode());
        NKDbgPrintfW(u"%s: GetFileSize Error(%d)\r\n", tag, result);
    } else {
        std::vector<BYTE> buffer;
        try {
            buffer.resize(size);
        } catch (const std::bad_alloc&) {
            NKDbgPrintfW(u"%s: pbyBuffer NULL\r\n", tag);
            result = -1;
        }
        DWORD read = 0;
        if (result == 0 && !ReadFile(file, buffer.data(), size, &read, nullptr)) {
            result = static_cast<int>(FailureCode());
            NKDbgPrintfW(u"%s: ReadFile Error(%d)\r\n", tag, result);
        } else if (result == 0 && read != size) {
            NKDbgPrintfW(u"%s: ReadFile Size Error\r\n", tag);
            result = kShortReadResult;
        }
        if (result == 0)
            *data = std::move(buffer);
    }
    CloseHandle(file);
    return result;
}

} // namespace updater
