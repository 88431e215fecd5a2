// The unit path mapping: whatever the path, what it reaches lies in one of
// the unit's drives, never in the platform's own state beside them nor
// outside the root (links included). Read-only calls only, so that runs
// stay independent.
#include "fuzz/FuzzTarget.h"
#include "platform/io/File.h"

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

// A root of its own with two drives, the platform's state and links that
// point out of the drives.
const std::string& Root()
{
    static const std::string root = [] {
        std::string pattern = (fs::temp_directory_path() / "wren-fuzz-unit-XXXXXX").string();
        std::string made = mkdtemp(pattern.data());
        for (const char* folder : {"NAND/Data", "HDD/Music", "config", "registry", "run"})
            fs::create_directories(made + "/" + folder);
        std::ofstream(made + "/config/programs.conf") << "x";
        std::ofstream(made + "/NAND/Data/a.txt") << "a";
        fs::create_directory_symlink(made, made + "/NAND/up");
        fs::create_directory_symlink(made + "/config", made + "/NAND/cfg");
        fs::create_directory_symlink("/", made + "/HDD/host");
        fs::create_directory_symlink("../../HDD/Music", made + "/NAND/Data/music");
        setenv("WREN_ROOT", made.c_str(), 1);
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(std::getenv("WREN_ROOT"), ignored);
        });
        char real[PATH_MAX];
        return std::string(realpath(made.c_str(), real));
    }();
    return root;
}

bool InDrive(const std::string& host)
{
    for (const char* drive : {"/NAND", "/HDD"}) {
        const std::string folder = Root() + drive;
        if (host.compare(0, folder.size(), folder) == 0 && (host.size() == folder.size() || host[folder.size()] == '/'))
            return true;
    }
    return false;
}

} // namespace

WREN_FUZZ_TARGET(UnitPath)
{
    Root();
    std::u16string path;
    for (size_t i = 0; i + 1 < size; i += 2)
        path.push_back(static_cast<WCHAR>(data[i] | (data[i + 1] << 8)));
    for (bool mustExist : {true, false}) {
        const std::string host = platform::HostPath(path.c_str(), mustExist);
        if (!host.empty()) {
            FUZZ_CHECK(host == Root() || InDrive(host));
        }
    }
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(path.c_str(), &found);
    if (find != INVALID_HANDLE_VALUE)
        FindClose(find);
    GetFileAttributesW(path.c_str());
    return 0;
}
