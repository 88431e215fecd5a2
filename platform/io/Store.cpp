#include "platform/io/Store.h"

#include "platform/base/Error.h"
#include "platform/base/Text.h"
#include "platform/io/Io.h"

#include <cstring>

HANDLE OpenStore(LPCWSTR deviceName)
{
    if (!deviceName || !platform::IsDeviceName(deviceName)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    return CreateFileW(deviceName, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

BOOL GetStoreInfo(HANDLE store, STOREINFO* info)
{
    if (!info || info->cbSize != sizeof(STOREINFO)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    STOREINFO answer{};
    DWORD returned = 0;
    if (!DeviceIoControl(store, IOCTL_STORE_GET_INFO, nullptr, 0, &answer, sizeof(answer), &returned, nullptr))
        return FALSE;
    if (returned != sizeof(answer)) {
        SetLastError(ERROR_GEN_FAILURE);
        return FALSE;
    }
    *info = answer;
    info->cbSize = sizeof(STOREINFO);
    return TRUE;
}

BOOL DismountStore(HANDLE store)
{
    DWORD returned = 0;
    return DeviceIoControl(store, IOCTL_STORE_DISMOUNT, nullptr, 0, nullptr, 0, &returned, nullptr);
}

BOOL FormatStore(HANDLE store)
{
    DWORD returned = 0;
    return DeviceIoControl(store, IOCTL_STORE_FORMAT, nullptr, 0, nullptr, 0, &returned, nullptr);
}

BOOL CreatePartition(HANDLE store, LPCWSTR name, ULONGLONG sectors)
{
    const std::size_t length = platform::TextLength(name);
    if (length == 0 || length >= PARTITIONNAMESIZE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    STORE_PARTITION_REQUEST request{};
    std::memcpy(request.szPartitionName, name, length * sizeof(WCHAR));
    request.snNumSectors = sectors;
    DWORD returned = 0;
    return DeviceIoControl(store, IOCTL_STORE_CREATE_PARTITION, &request, sizeof(request), nullptr, 0, &returned,
                           nullptr);
}
