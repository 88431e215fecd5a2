#include "platform/os/Mapping.h"

#include "platform/base/Error.h"
#include "platform/io/Io.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace platform {
namespace {

// The memory of a mapping is an anonymous memory file, so that every view
// can be mapped at its own address with its own protection.
class Mapping : public KernelObject {
public:
    Mapping(int fd, std::uint64_t size, bool writable, std::u16string name)
        : m_fd(fd), m_size(size), m_writable(writable), m_name(std::move(name))
    {
    }
    ~Mapping() override;

    const int m_fd;
    const std::uint64_t m_size;
    const bool m_writable;
    const std::u16string m_name;
};

struct View {
    std::shared_ptr<Mapping> mapping; // keeps the memory while the view exists
    std::size_t length;
};

struct Registry {
    std::mutex lock;
    std::unordered_map<std::u16string, std::weak_ptr<Mapping>> names;
    std::map<const void*, View> views;
};

Registry& GetRegistry()
{
    static Registry* registry = new Registry;
    return *registry;
}

Mapping::~Mapping()
{
    close(m_fd);
    if (m_name.empty())
        return;
    Registry& registry = GetRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    auto it = registry.names.find(m_name);
    // A new mapping of the same name may already have taken the entry.
    if (it != registry.names.end() && it->second.expired())
        registry.names.erase(it);
}

std::shared_ptr<Mapping> NewMapping(std::uint64_t size, bool writable, const std::u16string& name)
{
    int fd = memfd_create("mapping", MFD_CLOEXEC);
    if (fd < 0)
        return nullptr;
    if (size > static_cast<std::uint64_t>(INT64_MAX) || ftruncate(fd, static_cast<off_t>(size)) != 0) {
        close(fd);
        return nullptr;
    }
    return std::make_shared<Mapping>(fd, size, writable, name);
}

} // namespace

std::size_t MappedViewCount()
{
    Registry& registry = GetRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    return registry.views.size();
}

} // namespace platform

HANDLE CreateFileMappingW(HANDLE file, LPVOID, DWORD protect, DWORD sizeHigh, DWORD sizeLow, LPCWSTR name)
{
    using namespace platform;
    if (file != INVALID_HANDLE_VALUE) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    DWORD page = protect & 0xFF;
    std::uint64_t size = (static_cast<std::uint64_t>(sizeHigh) << 32) | sizeLow;
    if ((page != PAGE_READONLY && page != PAGE_READWRITE) || size == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::shared_ptr<Mapping> mapping;
    bool existed = false;
    if (name && *name) {
        Registry& registry = GetRegistry();
        std::lock_guard<std::mutex> guard(registry.lock);
        std::weak_ptr<Mapping>& entry = registry.names[name];
        mapping = entry.lock();
        existed = mapping != nullptr;
        if (!existed) {
            mapping = NewMapping(size, page == PAGE_READWRITE, name);
            if (mapping)
                entry = mapping;
            else
                registry.names.erase(name);
        }
    } else {
        mapping = NewMapping(size, page == PAGE_READWRITE, std::u16string());
    }
    if (!mapping) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    // Outside the registry lock: if this fails, a new mapping dies here and
    // its destructor takes the lock.
    HANDLE handle = RegisterObject(mapping);
    if (handle)
        SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

LPVOID MapViewOfFile(HANDLE handle, DWORD access, DWORD offsetHigh, DWORD offsetLow, DWORD bytes)
{
    using namespace platform;
    std::shared_ptr<Mapping> mapping = LookupObjectAs<Mapping>(handle);
    if (!mapping)
        return nullptr;
    std::uint64_t offset = (static_cast<std::uint64_t>(offsetHigh) << 32) | offsetLow;
    if (offset % kMappingGranularity != 0) {
        SetLastError(ERROR_MAPPED_ALIGNMENT);
        return nullptr;
    }
    bool write = (access & FILE_MAP_WRITE) != 0;
    if ((write && !mapping->m_writable) || offset >= mapping->m_size
        || (bytes != 0 && bytes > mapping->m_size - offset)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    std::uint64_t length = bytes ? bytes : mapping->m_size - offset;
    if (length > SIZE_MAX) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    void* view = mmap(nullptr, static_cast<std::size_t>(length), write ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED,
                      mapping->m_fd, static_cast<off_t>(offset));
    if (view == MAP_FAILED) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    Registry& registry = GetRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    registry.views[view] = View{std::move(mapping), static_cast<std::size_t>(length)};
    return view;
}

BOOL UnmapViewOfFile(LPCVOID view)
{
    using namespace platform;
    std::shared_ptr<Mapping> last;
    {
        Registry& registry = GetRegistry();
        std::lock_guard<std::mutex> guard(registry.lock);
        auto it = registry.views.find(view);
        if (it == registry.views.end()) {
            SetLastError(ERROR_INVALID_ADDRESS);
            return FALSE;
        }
        munmap(const_cast<void*>(view), it->second.length);
        // The mapping may end with its last view; its destructor takes the
        // registry lock, so it is released after the lock.
        last = std::move(it->second.mapping);
        registry.views.erase(it);
    }
    return TRUE;
}
