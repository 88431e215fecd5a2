// The update package's trailer and part extraction: whatever the package,
// a preparation that succeeds has copied exactly the parts the trailer
// names, each from inside the file; one that fails says why with one of the
// error screen's codes, and a trailer that names a part outside the file
// writes nothing.
#include "fuzz/FuzzRoot.h"
#include "fuzz/FuzzTarget.h"
#include "platform/base/Error.h"
#include "updater/UpdateManager.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string& Root()
{
    return wrenfuzz::FuzzRoot("wren-fuzz-package", {"HDD"});
}

std::vector<std::uint8_t> ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

} // namespace

WREN_FUZZ_TARGET(UpdatePackage)
{
    if (size > (1u << 20))
        return 0;
    const std::string& root = Root();
    std::error_code ignored;
    fs::remove_all(root + "/_MAKE_TEMP_", ignored);
    wrenfuzz::WriteInput(root + "/HDD/WrenUpdate.UPD", data, size);
    CUpdateManager manager;
    const BOOL ok = manager.PrepareExtract(nullptr, TRUE);
    const DWORD error = GetLastError();
    if (!ok) {
        FUZZ_CHECK(error == 2 || error == 13 || error == 14 || error == 29 || error == 30);
        if (error == 13)
            FUZZ_CHECK(fs::is_empty(root + "/_MAKE_TEMP_", ignored) || ignored);
        return 0;
    }
    FUZZ_CHECK(error == 0);
    FUZZ_CHECK(size > updater::kTrailerSize);
    const updater::CPackageTrailer trailer = updater::CPackageTrailer::FromBytes(data + size - updater::kTrailerSize);
    FUZZ_CHECK(trailer.IsSealed());
    for (const updater::PackagePart& part : updater::kPackageParts) {
        const fs::path file = fs::path(root) / "_MAKE_TEMP_" / std::u16string(part.fileName);
        if (!trailer.HasPart(part)) {
            FUZZ_CHECK(!fs::exists(file));
            continue;
        }
        const std::uint64_t offset = trailer.words[part.offsetWord];
        const std::uint64_t length = trailer.words[part.sizeWord];
        FUZZ_CHECK(offset + length <= size - updater::kTrailerSize);
        const std::vector<std::uint8_t> copied = ReadAll(file);
        FUZZ_CHECK(copied == std::vector<std::uint8_t>(data + offset, data + offset + length));
    }
    return 0;
}
