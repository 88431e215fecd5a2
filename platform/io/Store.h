// The storage manager's store and partition calls over a block driver
// ("DSK1:"): information, dismount, format and partitions. A store is opened
// as its driver and every call is one control code to it, so the simulated
// board's flash store (or any device registered under the name) answers
// them.
#pragma once

#include "platform/base/Types.h"
#include "platform/io/File.h"

inline constexpr DWORD STORENAMESIZE = 32;
inline constexpr DWORD DEVICENAMESIZE = 8;
inline constexpr DWORD PARTITIONNAMESIZE = 32;

// The store's description. Exchanged with the driver as it stands: it holds
// no pointers.
struct STOREINFO {
    DWORD cbSize;
    WCHAR szDeviceName[DEVICENAMESIZE];
    WCHAR szStoreName[STORENAMESIZE];
    ULONGLONG snNumSectors;
    DWORD dwBytesPerSector;
    ULONGLONG snFreeSectors;
    ULONGLONG snBiggestPartCreatable;
    DWORD dwAttributes;
    DWORD dwPartitionCount;
    DWORD dwMountCount;
};

// The request of CreatePartition as the driver receives it.
struct STORE_PARTITION_REQUEST {
    WCHAR szPartitionName[PARTITIONNAMESIZE];
    ULONGLONG snNumSectors;
};

// The control codes a block driver answers for the storage manager.
inline constexpr DWORD IOCTL_STORE_GET_INFO = 0x00071000;
inline constexpr DWORD IOCTL_STORE_DISMOUNT = 0x00071004;
inline constexpr DWORD IOCTL_STORE_FORMAT = 0x00071008;
inline constexpr DWORD IOCTL_STORE_CREATE_PARTITION = 0x0007100C;

// Opens the store of a block driver; INVALID_HANDLE_VALUE and the last
// error when the driver is missing or refuses. Closed with CloseHandle.
HANDLE OpenStore(LPCWSTR deviceName);
// info->cbSize must be sizeof(STOREINFO) (else ERROR_INVALID_PARAMETER).
BOOL GetStoreInfo(HANDLE store, STOREINFO* info);
// Dismounts every partition of the store.
BOOL DismountStore(HANDLE store);
// Formats a dismounted store: its partitions and their files are gone.
BOOL FormatStore(HANDLE store);
// Creates a partition of sectors sectors and mounts it. The name is at most
// PARTITIONNAMESIZE - 1 characters (else ERROR_INVALID_PARAMETER).
BOOL CreatePartition(HANDLE store, LPCWSTR name, ULONGLONG sectors);
