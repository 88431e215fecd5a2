// Unpacking an archive: whatever it holds, every file it writes lies inside
// the target folder; nothing appears anywhere else under the unit root.
#include "fuzz/FuzzRoot.h"
#include "fuzz/FuzzTarget.h"
#include "updater/ZipArchive.h"

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

namespace {

namespace fs = std::filesystem;

const std::string& Root()
{
    return wrenfuzz::FuzzRoot("wren-fuzz-zip", {"HDD", "NAND", "Windows"});
}

// Everything under the root outside the target folder.
std::set<std::string> Outside(const std::string& root)
{
    std::set<std::string> found;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(root, error); it != fs::recursive_directory_iterator();
         it.increment(error)) {
        const std::string relative = fs::relative(it->path(), root, error).string();
        if (relative == "NAND/Target" || relative.rfind("NAND/Target/", 0) == 0)
            continue;
        found.insert(relative);
    }
    return found;
}

} // namespace

WREN_FUZZ_TARGET(ZipExtract)
{
    if (size > (1u << 20))
        return 0;
    const std::string& root = Root();
    std::error_code ignored;
    fs::remove_all(root + "/NAND/Target", ignored);
    wrenfuzz::WriteInput(root + "/HDD/f.zip", data, size);
    const std::set<std::string> before = Outside(root);
    for (BOOL dropPaths : {FALSE, TRUE}) {
        CZipArchive zip(u"\\HDD\\f.zip");
        if (!zip.IsOpen())
            return 0;
        if (zip.SetTargetFolder(u"\\NAND\\Target"))
            zip.ExtractAll(dropPaths);
        FUZZ_CHECK(Outside(root) == before);
    }
    return 0;
}
