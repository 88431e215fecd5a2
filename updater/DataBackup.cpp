#include "updater/DataBackup.h"

#include "platform/base/Debug.h"
#include "platform/base/Error.h"
#include "platform/io/File.h"
#include "platform/io/Io.h"
#include "updater/FileFinder.h"
#include "updater/FileHelpers.h"

#include <map>
#include <string>
#include <vector>

namespace {

// The entries of a folder by name: true for a folder. False when the
// folder cannot be listed (a missing folder lists as empty).
bool ListFolder(const std::u16string& folder, std::map<std::u16string, bool>* entries)
{
    entries->clear();
    if (GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES)
        return true;
    FileFinder finder;
    const std::u16string pattern = folder + u"\\*";
    if (!finder.FindFirst(pattern.c_str()))
        return true;
    do {
        if (!finder.IsDots())
            (*entries)[finder.Name()] = finder.IsFolder();
    } while (finder.FindNext());
    return true;
}

bool ReadWhole(const std::u16string& path, std::vector<BYTE>* data)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    data->clear();
    BYTE buffer[64 * 1024];
    bool ok = true;
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file, buffer, sizeof(buffer), &read, nullptr)) {
            ok = false;
            break;
        }
        if (read == 0)
            break;
        data->insert(data->end(), buffer, buffer + read);
    }
    CloseHandle(file);
    return ok;
}

bool WriteWhole(LPCWSTR path, const BYTE* data, DWORD size)
{
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, data, size, &written, nullptr) && written == size;
    return CloseHandle(file) && ok;
}

void PutWord(BYTE* at, DWORD value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<BYTE>(value >> (8 * i));
}

DWORD GetWord(const BYTE* at)
{
    return static_cast<DWORD>(at[0]) | static_cast<DWORD>(at[1]) << 8 | static_cast<DWORD>(at[2]) << 16
        | static_cast<DWORD>(at[3]) << 24;
}

} // namespace

bool CDataBackup::DigestOf(LPCWSTR folder, Digest* digest)
{
    std::map<std::u16string, bool> entries;
    if (!ListFolder(folder, &entries))
        return false;
    std::vector<BYTE> data;
    for (const auto& [name, isFolder] : entries) {
        const std::u16string path = std::u16string(folder) + u"\\" + name;
        if (isFolder) {
            if (!DigestOf(path.c_str(), digest))
                return false;
            continue;
        }
        if (!ReadWhole(path, &data))
            return false;
        ++digest->files;
        digest->sum = updater::AddByteSum(digest->sum, data.data(), data.size());
    }
    return true;
}

bool CDataBackup::CopyTree(LPCWSTR from, LPCWSTR to)
{
    if (!CreateFolderPath(to))
        return false;
    std::map<std::u16string, bool> entries;
    if (!ListFolder(from, &entries))
        return false;
    for (const auto& [name, isFolder] : entries) {
        const std::u16string source = std::u16string(from) + u"\\" + name;
        const std::u16string target = std::u16string(to) + u"\\" + name;
        if (isFolder ? !CopyTree(source.c_str(), target.c_str()) : !CopyFileW(source.c_str(), target.c_str(), FALSE))
            return false;
    }
    return true;
}

bool CDataBackup::SameTree(LPCWSTR a, LPCWSTR b)
{
    std::map<std::u16string, bool> left, right;
    if (!ListFolder(a, &left) || !ListFolder(b, &right) || left != right)
        return false;
    std::vector<BYTE> one, other;
    for (const auto& [name, isFolder] : left) {
        const std::u16string first = std::u16string(a) + u"\\" + name;
        const std::u16string second = std::u16string(b) + u"\\" + name;
        if (isFolder ? !SameTree(first.c_str(), second.c_str())
                     : !ReadWhole(first, &one) || !ReadWhole(second, &other) || one != other)
            return false;
    }
    return true;
}

bool CDataBackup::ReadRecord(Digest* digest)
{
    std::vector<BYTE> data;
    if (!ReadWhole(updater::kDataSaveRecord, &data) || data.size() != 8)
        return false;
    digest->files = GetWord(data.data());
    digest->sum = GetWord(data.data() + 4);
    return true;
}

bool CDataBackup::WriteRecord(const Digest& digest)
{
    BYTE data[8];
    PutWord(data, digest.files);
    PutWord(data + 4, digest.sum);
    return WriteWhole(updater::kDataSaveRecord, data, sizeof(data));
}

BOOL CDataBackup::IsSaved() const
{
    Digest recorded, found;
    return ReadRecord(&recorded) && DigestOf(updater::kDataSaveFolder, &found) && found == recorded;
}

BOOL CDataBackup::Save()
{
    if (IsSaved()) {
        NKDbgPrintfW(u"[DATA] kept copy of an earlier run is sound\r\n");
        return TRUE;
    }
    if (FileExists(updater::kDataSaveRecord)) {
        // A record whose copy no longer matches it: the data it stood for
        // may exist nowhere else, so nothing is taken anew over it.
        NKDbgPrintfW(u"[DATA] kept copy does not match its record\r\n");
        return FALSE;
    }
    DeleteFolder(updater::kDataSaveFolder, TRUE, TRUE);
    Digest digest;
    if (!CopyTree(updater::kDataFolder, updater::kDataSaveFolder)
        || !SameTree(updater::kDataFolder, updater::kDataSaveFolder) || !DigestOf(updater::kDataSaveFolder, &digest)
        || !WriteRecord(digest)) {
        NKDbgPrintfW(u"[DATA] copy failed\r\n");
        DeleteFileW(updater::kDataSaveRecord);
        DeleteFolder(updater::kDataSaveFolder, TRUE, TRUE);
        return FALSE;
    }
    NKDbgPrintfW(u"[DATA] copied %u files\r\n", digest.files);
    return TRUE;
}

BOOL CDataBackup::Restore()
{
    if (!IsSaved()) {
        NKDbgPrintfW(u"[DATA] no sound copy to restore\r\n");
        return FALSE;
    }
    if (!CopyTree(updater::kDataSaveFolder, updater::kDataFolder)
        || !SameTree(updater::kDataSaveFolder, updater::kDataFolder)) {
        NKDbgPrintfW(u"[DATA] restore failed\r\n");
        return FALSE;
    }
    DeleteFileW(updater::kDataSaveRecord);
    DeleteFolder(updater::kDataSaveFolder, TRUE, TRUE);
    NKDbgPrintfW(u"[DATA] restored\r\n");
    return TRUE;
}
