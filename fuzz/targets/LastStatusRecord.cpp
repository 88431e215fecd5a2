// The last-status record loader: whatever the file, a load takes it exactly
// when it is a record of the owner's size with the owner's header, and
// leaves the defaults otherwise; a record left only under its temporary
// name is taken the same way; whatever was taken saves and loads back
// unchanged. The first input byte picks the record size and where the bytes
// lie, the rest is the file.
#include "Source/models/LastStatusFile.h"
#include "fuzz/FuzzRoot.h"
#include "fuzz/FuzzTarget.h"

#include <cstring>
#include <filesystem>
#include <vector>

namespace {

// The sizes of the unit's records.
constexpr DWORD kSizes[] = {20, 24, 32, 48, 764, 797, 1080, 1084};

} // namespace

WREN_FUZZ_TARGET(LastStatusRecord)
{
    if (size < 1 || size > 4096)
        return 0;
    const std::string& root = wrenfuzz::FuzzRoot("wren-fuzz-record", {"NAND/DATA"});
    const DWORD recordSize = kSizes[data[0] & 7];
    const bool asTemp = (data[0] & 8) != 0;
    const std::uint8_t* file = data + 1;
    const DWORD fileSize = static_cast<DWORD>(size - 1);
    std::error_code ignored;
    std::filesystem::remove(root + "/NAND/DATA/Fuzz.reg", ignored);
    std::filesystem::remove(root + "/NAND/DATA/Fuzz.reg.tmp", ignored);
    wrenfuzz::WriteInput(root + (asTemp ? "/NAND/DATA/Fuzz.reg.tmp" : "/NAND/DATA/Fuzz.reg"), file, fileSize);

    const BOOL valid = LastStatusFile::IsRecordValid(file, fileSize, recordSize, 0, 8);
    LastStatusFile record(recordSize, FALSE); // no sync: the loader is under test
    const BOOL taken = record.Load(u"\\NAND\\DATA\\Fuzz.reg", 0, 8);
    FUZZ_CHECK(taken == valid);
    FUZZ_CHECK(record.GetRecord() != nullptr);
    if (taken) {
        FUZZ_CHECK(std::memcmp(record.GetRecord(), file, recordSize) == 0);
    } else {
        std::vector<BYTE> defaults(recordSize, 0);
        const BYTE header[16] = {16, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 8, 0, 0, 0};
        std::memcpy(defaults.data(), header, sizeof(header));
        FUZZ_CHECK(std::memcmp(record.GetRecord(), defaults.data(), recordSize) == 0);
    }
    // Whatever is in the buffer goes down whole and comes back.
    FUZZ_CHECK(record.Save());
    FUZZ_CHECK(std::filesystem::file_size(root + "/NAND/DATA/Fuzz.reg") == recordSize);
    FUZZ_CHECK(!std::filesystem::exists(root + "/NAND/DATA/Fuzz.reg.tmp"));
    LastStatusFile again(recordSize, FALSE);
    FUZZ_CHECK(again.Load(u"\\NAND\\DATA\\Fuzz.reg", 0, 8));
    FUZZ_CHECK(std::memcmp(again.GetRecord(), record.GetRecord(), recordSize) == 0);
    return 0;
}
