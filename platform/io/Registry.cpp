#include "platform/io/Registry.h"

#include "platform/base/Debug.h"
#include "platform/base/Text.h"
#include "platform/io/Io.h"
#include "platform/io/RegistryInternal.h"
#include "platform/unit/Unit.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <mutex>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace platform {
namespace {

// ---- the store in memory ----

struct Value {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;

    bool operator==(const Value&) const = default;
};

using Values = std::map<std::u16string, Value, IgnoringCaseLess>;
// Keys by full path below HKLM ("" is HKLM itself, always present). The
// path keeps the case each name was created with.
using Store = std::map<std::u16string, Values, IgnoringCaseLess>;

struct KeySlot {
    bool used = false;
    std::uint32_t generation = 1;
    std::u16string path;
};

struct Registry {
    std::mutex lock;
    bool loaded = false;
    std::string folder; // host folder of the store file, fixed at load
    Store store;
    std::vector<KeySlot> slots;
    std::size_t openKeys = 0;
    RegistrySaveFault fault = RegistrySaveFault::None;
};

// Never destroyed: detached threads may still use keys while the process
// exits.
Registry& GetRegistry()
{
    static Registry* registry = new Registry;
    return *registry;
}

constexpr const char* kFolderName = "registry";
constexpr const char* kFileName = "HKLM";
constexpr const char* kTempSuffix = ".tmp";
constexpr const char* kBadSuffix = ".bad";
constexpr const char* kHeader = "WrenRegistry 1";
constexpr std::size_t kMaxFileBytes = 64 * 1024 * 1024;

std::u16string Join(const std::u16string& parent, const std::u16string& name)
{
    return parent.empty() ? name : parent + u'\\' + name;
}

// The names of a key path; empty names are skipped.
std::vector<std::u16string> SplitPath(LPCWSTR path)
{
    std::vector<std::u16string> names;
    if (!path)
        return names;
    std::u16string name;
    for (LPCWSTR p = path;; ++p) {
        if (*p == u'\\' || *p == 0) {
            if (!name.empty())
                names.push_back(std::move(name));
            name.clear();
            if (*p == 0)
                break;
        } else {
            name += *p;
        }
    }
    return names;
}

// ---- the store file ----
//
// Text, one line per record, ASCII only:
//   WrenRegistry 1
//   key "SOFTWARE\\QMR\\Lumo"
//   dword "MenuType" 0x00000001
//   sz "VOICEINFOPATH" "\\NAND\\VOICEINFO.ENV"
//   hex 3 "Blob" 0102ff
//   end 89abcdef
// Names and texts are quoted: '"' and '\' are escaped with '\', every UTF-16
// unit outside printable ASCII is written as \uXXXX, so any name and any
// text comes back unit for unit. "sz" holds a REG_SZ whose bytes are one
// terminated text, "dword" a REG_DWORD of 4 bytes; every other value is
// "hex" with its type number. "end" carries the CRC-32 of every byte before
// it, so a damaged or cut file is recognised.

std::uint32_t Crc32(std::string_view bytes)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char b : bytes) {
        crc ^= b;
        for (int i = 0; i < 8; ++i)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

constexpr char kHexDigits[] = "0123456789abcdef";

void AppendHex(std::string& out, std::uint32_t value, int digits)
{
    for (int i = digits - 1; i >= 0; --i)
        out += kHexDigits[(value >> (4 * i)) & 0xF];
}

void AppendQuoted(std::string& out, std::u16string_view text)
{
    out += '"';
    for (char16_t c : text) {
        if (c == u'"' || c == u'\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            out += "\\u";
            AppendHex(out, c, 4);
        }
    }
    out += '"';
}

// A REG_SZ written as text: whole UTF-16 units, one terminator at the end
// and none before it.
bool IsPlainText(const std::vector<BYTE>& data, std::u16string* text)
{
    if (data.size() < 2 || data.size() % 2 != 0)
        return false;
    std::u16string units;
    for (std::size_t i = 0; i + 1 < data.size(); i += 2)
        units += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (units.back() != 0 || units.find(u'\0') != units.size() - 1)
        return false;
    units.pop_back();
    *text = std::move(units);
    return true;
}

std::string Serialize(const Store& store)
{
    std::string out = kHeader;
    out += '\n';
    for (const auto& [path, values] : store) {
        out += "key ";
        AppendQuoted(out, path);
        out += '\n';
        for (const auto& [name, value] : values) {
            std::u16string text;
            if (value.type == REG_DWORD && value.data.size() == 4) {
                out += "dword ";
                AppendQuoted(out, name);
                out += " 0x";
                AppendHex(out,
                          static_cast<std::uint32_t>(value.data[0]) | (value.data[1] << 8) | (value.data[2] << 16)
                              | (static_cast<std::uint32_t>(value.data[3]) << 24),
                          8);
            } else if (value.type == REG_SZ && IsPlainText(value.data, &text)) {
                out += "sz ";
                AppendQuoted(out, name);
                out += ' ';
                AppendQuoted(out, text);
            } else {
                out += "hex " + std::to_string(value.type) + ' ';
                AppendQuoted(out, name);
                out += ' ';
                for (BYTE b : value.data)
                    AppendHex(out, b, 2);
            }
            out += '\n';
        }
    }
    const std::uint32_t crc = Crc32(out);
    out += "end ";
    AppendHex(out, crc, 8);
    out += '\n';
    return out;
}

// Reads one line of the store, left to right. Every read fails (returns
// false) on anything our writer does not produce.
class LineReader {
public:
    explicit LineReader(std::string_view line) : m_line(line) {}

    bool Word(std::string_view word)
    {
        if (m_line.substr(m_at, word.size()) != word)
            return false;
        m_at += word.size();
        return true;
    }

    bool Hex(std::size_t digits, std::uint32_t* value)
    {
        *value = 0;
        for (std::size_t i = 0; i < digits; ++i) {
            int d = m_at < m_line.size() ? platform::HexDigitValue(m_line[m_at]) : -1;
            if (d < 0)
                return false;
            *value = (*value << 4) | static_cast<std::uint32_t>(d);
            ++m_at;
        }
        return true;
    }

    bool Decimal(DWORD* value)
    {
        std::uint64_t v = 0;
        std::size_t start = m_at;
        while (m_at < m_line.size() && m_line[m_at] >= '0' && m_line[m_at] <= '9' && m_at - start < 10)
            v = v * 10 + static_cast<std::uint64_t>(m_line[m_at++] - '0');
        *value = static_cast<DWORD>(v);
        return m_at > start && v <= 0xFFFFFFFFu;
    }

    bool Quoted(std::u16string* text)
    {
        text->clear();
        if (!Word("\""))
            return false;
        while (m_at < m_line.size()) {
            char c = m_line[m_at++];
            if (c == '"')
                return true;
            if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F)
                return false;
            if (c != '\\') {
                *text += static_cast<char16_t>(c);
                continue;
            }
            if (m_at >= m_line.size())
                return false;
            c = m_line[m_at++];
            if (c == '"' || c == '\\') {
                *text += static_cast<char16_t>(c);
            } else if (c == 'u') {
                std::uint32_t unit;
                if (!Hex(4, &unit))
                    return false;
                *text += static_cast<char16_t>(unit);
            } else {
                return false;
            }
        }
        return false;
    }

    bool HexBytes(std::vector<BYTE>* bytes)
    {
        bytes->clear();
        while (m_at < m_line.size()) {
            std::uint32_t b;
            if (!Hex(2, &b))
                return false;
            bytes->push_back(static_cast<BYTE>(b));
        }
        return true;
    }

    bool AtEnd() const { return m_at == m_line.size(); }

private:
    std::string_view m_line;
    std::size_t m_at = 0;
};

std::vector<BYTE> TextBytes(const std::u16string& text)
{
    std::vector<BYTE> bytes;
    bytes.reserve((text.size() + 1) * 2);
    for (char16_t c : text) {
        bytes.push_back(static_cast<BYTE>(c & 0xFF));
        bytes.push_back(static_cast<BYTE>(c >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

// Adds a key and the keys on its way to it.
void AddKey(Store& store, const std::u16string& path)
{
    std::u16string at;
    for (const std::u16string& name : SplitPath(path.c_str())) {
        at = Join(at, name);
        store.try_emplace(at);
    }
}

// Parses a whole store file; false (with a reason) when it is not one.
bool Parse(std::string_view file, Store* store, const char** reason)
{
    store->clear();
    store->try_emplace(u"");
    std::size_t endAt = file.rfind("\nend ");
    if (file.substr(0, std::string_view(kHeader).size() + 1) != std::string(kHeader) + '\n') {
        *reason = "not a registry store";
        return false;
    }
    if (endAt == std::string_view::npos) {
        *reason = "cut short";
        return false;
    }
    LineReader endLine(file.substr(endAt + 1));
    std::uint32_t crc;
    if (!endLine.Word("end ") || !endLine.Hex(8, &crc) || !endLine.Word("\n") || !endLine.AtEnd()) {
        *reason = "cut short";
        return false;
    }
    if (crc != Crc32(file.substr(0, endAt + 1))) {
        *reason = "check sum mismatch";
        return false;
    }
    *reason = "bad record";
    Values* key = nullptr;
    std::size_t at = std::string_view(kHeader).size() + 1;
    while (at <= endAt) {
        std::size_t lineEnd = file.find('\n', at);
        LineReader line(file.substr(at, lineEnd - at));
        at = lineEnd + 1;
        std::u16string name;
        Value value;
        if (line.Word("key ")) {
            if (!line.Quoted(&name) || !line.AtEnd())
                return false;
            if (!name.empty()) {
                std::vector<std::u16string> names = SplitPath(name.c_str());
                if (names.empty() || name.front() == u'\\' || name.back() == u'\\'
                    || name.find(u"\\\\") != std::u16string::npos || name.find(u'\0') != std::u16string::npos)
                    return false;
                AddKey(*store, name);
            }
            key = &(*store)[name];
            continue;
        }
        if (!key)
            return false;
        if (line.Word("dword ")) {
            std::uint32_t v;
            if (!line.Quoted(&name) || !line.Word(" 0x") || !line.Hex(8, &v) || !line.AtEnd())
                return false;
            value.type = REG_DWORD;
            value.data = {static_cast<BYTE>(v), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v >> 16),
                          static_cast<BYTE>(v >> 24)};
        } else if (line.Word("sz ")) {
            std::u16string text;
            if (!line.Quoted(&name) || !line.Word(" ") || !line.Quoted(&text) || !line.AtEnd()
                || text.find(u'\0') != std::u16string::npos)
                return false;
            value.type = REG_SZ;
            value.data = TextBytes(text);
        } else if (line.Word("hex ")) {
            // Only what RegSetValueExW accepts is loaded: a DWORD is 4 bytes,
            // no value is larger than the limit.
            if (!line.Decimal(&value.type) || !line.Word(" ") || !line.Quoted(&name) || !line.Word(" ")
                || !line.HexBytes(&value.data) || value.data.size() > kMaxRegistryValueBytes
                || (value.type == REG_DWORD && value.data.size() != 4))
                return false;
        } else {
            return false;
        }
        if (name.find(u'\0') != std::u16string::npos)
            return false;
        (*key)[name] = std::move(value);
    }
    return true;
}

std::string StorePath(const std::string& folder)
{
    return folder + "/" + kFileName;
}

DWORD ErrorOfErrno(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return ERROR_DISK_FULL;
    case EROFS:
        return ERROR_WRITE_PROTECT;
    case EACCES:
    case EPERM:
        return ERROR_ACCESS_DENIED;
    default:
        return ERROR_GEN_FAILURE;
    }
}

bool WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Writes the store to <folder>/HKLM through a temporary file. Returns
// ERROR_SUCCESS, or the error with the old file untouched.
DWORD Save(Registry& registry, const Store& store)
{
    std::error_code ec;
    std::filesystem::create_directories(registry.folder, ec);
    if (ec)
        return ErrorOfErrno(ec.value());
    const std::string path = StorePath(registry.folder);
    const std::string temp = path + kTempSuffix;
    const std::string text = Serialize(store);
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return ErrorOfErrno(errno);
    if (registry.fault == RegistrySaveFault::HalfWritten) {
        WriteAll(fd, text.data(), text.size() / 2);
        close(fd);
        return ERROR_GEN_FAILURE;
    }
    if (!WriteAll(fd, text.data(), text.size()) || fsync(fd) != 0) {
        const int error = errno;
        close(fd);
        unlink(temp.c_str());
        return ErrorOfErrno(error);
    }
    if (close(fd) != 0) {
        const int error = errno;
        unlink(temp.c_str());
        return ErrorOfErrno(error);
    }
    if (registry.fault == RegistrySaveFault::BeforeRename)
        return ERROR_GEN_FAILURE;
    if (rename(temp.c_str(), path.c_str()) != 0) {
        const int error = errno;
        unlink(temp.c_str());
        return ErrorOfErrno(error);
    }
    // The rename itself reaches the disk with the folder.
    const int folderFd = open(registry.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        fsync(folderFd);
        close(folderFd);
    }
    return ERROR_SUCCESS;
}

// Reads the whole file; false when it cannot be read or is too large.
bool ReadFileText(const std::string& path, std::string* text)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info;
    bool ok
        = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && static_cast<std::uint64_t>(info.st_size) <= kMaxFileBytes;
    text->clear();
    char chunk[65536];
    while (ok) {
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 || text->size() + static_cast<std::size_t>(n) > kMaxFileBytes)
            ok = false;
        else if (n == 0)
            break;
        else
            text->append(chunk, static_cast<std::size_t>(n));
    }
    close(fd);
    return ok;
}

// Loads the store of the current unit root. A file we cannot use is moved
// aside, never overwritten by the next save.
void Load(Registry& registry)
{
    registry.folder = UnitRoot() + "/" + kFolderName;
    registry.store.clear();
    registry.store.try_emplace(u"");
    registry.loaded = true;
    const std::string path = StorePath(registry.folder);
    struct stat info;
    if (stat(path.c_str(), &info) != 0 && errno == ENOENT)
        return;
    std::string text;
    const char* reason = "unreadable";
    Store store;
    if (ReadFileText(path, &text) && Parse(text, &store, &reason)) {
        registry.store = std::move(store);
        return;
    }
    const std::string aside = path + kBadSuffix;
    const bool moved = rename(path.c_str(), aside.c_str()) == 0;
    NKDbgPrintfW(u"[registry] %S refused (%S), %S; starting empty\r\n", path, reason,
                 moved ? "moved to " + aside : std::string("could not be moved aside"));
}

void EnsureLoaded(Registry& registry)
{
    if (!registry.loaded)
        Load(registry);
}

// ---- key handles ----

HKEY MakeKey(std::uint32_t index, std::uint32_t generation)
{
    // The generation sits above bit 32, so a key is never a predefined key.
    std::uint64_t value = (static_cast<std::uint64_t>(generation) << 32) | (index + 1u);
    return reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(value));
}

HKEY OpenHandle(Registry& registry, const std::u16string& path)
{
    std::size_t index = 0;
    while (index < registry.slots.size() && registry.slots[index].used)
        ++index;
    if (index == registry.slots.size())
        registry.slots.emplace_back();
    KeySlot& slot = registry.slots[index];
    slot.used = true;
    slot.path = path;
    ++registry.openKeys;
    return MakeKey(static_cast<std::uint32_t>(index), slot.generation);
}

KeySlot* FindSlot(Registry& registry, HKEY key)
{
    std::uint64_t value = reinterpret_cast<std::uintptr_t>(key);
    std::uint64_t index = value & 0xFFFFFFFFu;
    std::uint64_t generation = value >> 32;
    if (index == 0 || index > registry.slots.size())
        return nullptr;
    KeySlot& slot = registry.slots[index - 1];
    return slot.used && slot.generation == generation ? &slot : nullptr;
}

// The path of an open key that still exists.
LONG ResolveKey(Registry& registry, HKEY key, std::u16string* path)
{
    if (key == HKEY_LOCAL_MACHINE) {
        path->clear();
        return ERROR_SUCCESS;
    }
    KeySlot* slot = FindSlot(registry, key);
    if (!slot)
        return ERROR_INVALID_HANDLE;
    if (!registry.store.count(slot->path))
        return ERROR_KEY_DELETED;
    *path = slot->path;
    return ERROR_SUCCESS;
}

// Applies a change to a copy of the store, saves the copy, and keeps it only
// when it reached the disk. A change that leaves the store as it was (a
// value set again to what it holds, as the unit does at every start) is not
// written: the file already holds it.
template <class Change> LONG Commit(Registry& registry, Change change)
{
    Store next = registry.store;
    change(next);
    if (next == registry.store)
        return ERROR_SUCCESS;
    LONG result = static_cast<LONG>(Save(registry, next));
    if (result == ERROR_SUCCESS)
        registry.store = std::move(next);
    return result;
}

} // namespace

std::uint32_t RegistryChecksum(std::string_view bytes)
{
    return Crc32(bytes);
}

bool RewriteRegistryStore(std::string_view file, std::string* rewritten, const char** reason)
{
    Store store;
    if (!Parse(file, &store, reason))
        return false;
    *rewritten = Serialize(store);
    return true;
}

std::string RegistryFilePath()
{
    Registry& registry = GetRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    return registry.loaded ? StorePath(registry.folder) : StorePath(UnitRoot() + "/" + kFolderName);
}

void ReloadRegistry()
{
    Registry& registry = GetRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    Load(registry);
}

std::size_t OpenRegistryKeyCount()
{
    Registry& registry = GetRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    return registry.openKeys;
}

void SetRegistrySaveFault(RegistrySaveFault fault)
{
    Registry& registry = GetRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    registry.fault = fault;
}

} // namespace platform

using platform::GetRegistry;
using platform::Registry;

namespace {

LONG OpenOrCreate(HKEY hKey, LPCWSTR subKey, PHKEY result, bool create, DWORD* disposition)
{
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    Registry& registry = GetRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    platform::EnsureLoaded(registry);
    std::u16string path;
    LONG status = platform::ResolveKey(registry, hKey, &path);
    if (status != ERROR_SUCCESS)
        return status;
    // Walk down, taking the stored case of every key that exists.
    std::vector<std::u16string> missing;
    for (const std::u16string& name : platform::SplitPath(subKey)) {
        const std::u16string next = platform::Join(path, name);
        auto it = missing.empty() ? registry.store.find(next) : registry.store.end();
        if (it != registry.store.end()) {
            path = it->first;
        } else {
            path = next;
            missing.push_back(next);
        }
    }
    if (!missing.empty()) {
        if (!create)
            return ERROR_FILE_NOT_FOUND;
        status = platform::Commit(registry, [&](platform::Store& store) {
            for (const std::u16string& key : missing)
                store.try_emplace(key);
        });
        if (status != ERROR_SUCCESS)
            return status;
    }
    if (disposition)
        *disposition = missing.empty() ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
    *result = platform::OpenHandle(registry, path);
    return ERROR_SUCCESS;
}

std::u16string ValueName(LPCWSTR name)
{
    return name ? std::u16string(name) : std::u16string();
}

} // namespace

LONG RegCreateKeyExW(HKEY hKey, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM, SECURITY_ATTRIBUTES*, PHKEY result,
                     DWORD* disposition)
{
    return OpenOrCreate(hKey, subKey, result, true, disposition);
}

LONG RegOpenKeyExW(HKEY hKey, LPCWSTR subKey, DWORD, REGSAM, PHKEY result)
{
    return OpenOrCreate(hKey, subKey, result, false, nullptr);
}

LONG RegSetValueExW(HKEY hKey, LPCWSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD size)
{
    if ((!data && size) || size > platform::kMaxRegistryValueBytes || (type == REG_DWORD && size != 4))
        return ERROR_INVALID_PARAMETER;
    Registry& registry = GetRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    platform::EnsureLoaded(registry);
    std::u16string path;
    LONG status = platform::ResolveKey(registry, hKey, &path);
    if (status != ERROR_SUCCESS)
        return status;
    platform::Value value;
    value.type = type;
    if (size)
        value.data.assign(data, data + size);
    const std::u16string name = ValueName(valueName);
    return platform::Commit(registry, [&](platform::Store& store) {
        platform::Values& values = store[path];
        // A value set again under other case keeps its first name.
        auto it = values.find(name);
        if (it != values.end())
            it->second = std::move(value);
        else
            values.emplace(name, std::move(value));
    });
}

LONG RegQueryValueExW(HKEY hKey, LPCWSTR valueName, DWORD*, DWORD* type, BYTE* data, DWORD* size)
{
    if (data && !size)
        return ERROR_INVALID_PARAMETER;
    Registry& registry = GetRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    platform::EnsureLoaded(registry);
    std::u16string path;
    LONG status = platform::ResolveKey(registry, hKey, &path);
    if (status != ERROR_SUCCESS)
        return status;
    const platform::Values& values = registry.store[path];
    auto it = values.find(ValueName(valueName));
    if (it == values.end())
        return ERROR_FILE_NOT_FOUND;
    const platform::Value& value = it->second;
    const DWORD needed = static_cast<DWORD>(value.data.size());
    if (type)
        *type = value.type;
    if (data) {
        if (*size < needed) {
            *size = needed;
            return ERROR_MORE_DATA;
        }
        std::copy(value.data.begin(), value.data.end(), data);
    }
    if (size)
        *size = needed;
    return ERROR_SUCCESS;
}

LONG RegDeleteValueW(HKEY hKey, LPCWSTR valueName)
{
    Registry& registry = GetRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    platform::EnsureLoaded(registry);
    std::u16string path;
    LONG status = platform::ResolveKey(registry, hKey, &path);
    if (status != ERROR_SUCCESS)
        return status;
    const std::u16string name = ValueName(valueName);
    if (!registry.store[path].count(name))
        return ERROR_FILE_NOT_FOUND;
    return platform::Commit(registry, [&](platform::Store& store) { store[path].erase(name); });
}

LONG RegCloseKey(HKEY hKey)
{
    if (hKey == HKEY_LOCAL_MACHINE)
        return ERROR_SUCCESS;
    Registry& registry = GetRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    platform::KeySlot* slot = platform::FindSlot(registry, hKey);
    if (!slot)
        return ERROR_INVALID_HANDLE;
    slot->used = false;
    slot->path.clear();
    slot->generation = slot->generation == UINT32_MAX ? 1 : slot->generation + 1;
    --registry.openKeys;
    return ERROR_SUCCESS;
}
