// wrenpack: builds an update package (".UPD") from a folder of parts, or
// shows the trailer of one. See Usage() below.
#include "updater/FileHelpers.h"
#include "updater/PackageTrailer.h"

#include "platform/base/Text.h"

#include <unzip.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace {

void Usage(FILE* out)
{
    std::fprintf(out,
                 "usage: wrenpack [options] PARTS_FOLDER OUTPUT.UPD\n"
                 "       wrenpack --info PACKAGE.UPD\n"
                 "\n"
                 "Builds an update package for WrenUpdater: the parts found in PARTS_FOLDER,\n"
                 "one after the other, then the 100-byte trailer that says where each lies.\n"
                 "Parts, by file name (any that is missing is left out):\n"
                 "  _PLAYER_.ZIP     application archive, unpacked into \\NAND\n"
                 "  _NK_.NB0.APZ     OS image          _BOOT_.NB0      boot loader\n"
                 "  _LOGO_1.ROM      boot logo         _LOGO_2.ROM     second logo\n"
                 "  _DMB_.BIN        DMB module        _BT_.DFU        Bluetooth module DFU file\n"
                 "  _DVDMICOM_.BIN   DVD deck micom    _MICOM_.REC     main micom S-records\n"
                 "\n"
                 "Options:\n"
                 "  --firmware-version X.Y.Z   firmware version in the trailer (default 0.0.0)\n"
                 "  --player-version X.Y.Z     application version in the trailer (default 0.0.0)\n"
                 "  --format                   set the format flag (the unit formats its NAND store)\n"
                 "  --player-sum N             byte sum of the installed application; by default\n"
                 "                             the sum of every byte of every file in _PLAYER_.ZIP\n"
                 "  --info PACKAGE.UPD         print the trailer of a package and check it\n"
                 "  --help                     this text\n"
                 "\n"
                 "The package must stay below 4 GiB: offsets and sizes are 32-bit words.\n");
}

std::optional<std::uint32_t> ParseVersion(const char* text)
{
    unsigned major = 0, minor = 0, patch = 0;
    char end = 0;
    if (std::sscanf(text, "%u.%u.%u%c", &major, &minor, &patch, &end) != 3 || major > 255 || minor > 255 || patch > 255)
        return std::nullopt;
    return updater::PackVersion(major, minor, patch);
}

std::string Narrow(const WCHAR* text)
{
    return platform::ToUtf8(text);
}

// The sum of every byte of every file entry of a zip archive.
std::optional<std::uint32_t> SumZip(const std::string& path)
{
    unzFile zip = unzOpen64(path.c_str());
    if (!zip)
        return std::nullopt;
    std::vector<BYTE> buffer(64 * 1024);
    DWORD sum = 0;
    bool ok = unzGoToFirstFile(zip) == UNZ_OK;
    while (ok) {
        if (unzOpenCurrentFile(zip) != UNZ_OK) {
            ok = false;
            break;
        }
        int read;
        while ((read = unzReadCurrentFile(zip, buffer.data(), static_cast<unsigned>(buffer.size()))) > 0)
            sum = updater::AddByteSum(sum, buffer.data(), static_cast<std::size_t>(read));
        if (unzCloseCurrentFile(zip) != UNZ_OK || read < 0) {
            ok = false;
            break;
        }
        const int next = unzGoToNextFile(zip);
        if (next == UNZ_END_OF_LIST_OF_FILE)
            break;
        ok = next == UNZ_OK;
    }
    unzClose(zip);
    if (!ok)
        return std::nullopt;
    return sum;
}

int Info(const char* path)
{
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    const std::streamoff size = file ? static_cast<std::streamoff>(file.tellg()) : -1;
    if (size < static_cast<std::streamoff>(updater::kTrailerSize) + 1) {
        std::fprintf(stderr, "wrenpack: %s is missing or too short for a package\n", path);
        return 1;
    }
    BYTE bytes[updater::kTrailerSize];
    file.seekg(size - updater::kTrailerSize);
    file.read(reinterpret_cast<char*>(bytes), updater::kTrailerSize);
    const updater::CPackageTrailer trailer = updater::CPackageTrailer::FromBytes(bytes);
    auto version = [](DWORD v) {
        return std::to_string((v >> 16) & 0xFF) + "." + std::to_string((v >> 8) & 0xFF) + "."
            + std::to_string(v & 0xFF);
    };
    std::printf("package          %s (%lld bytes)\n", path, static_cast<long long>(size));
    std::printf("trailer          %s\n", trailer.IsSealed() ? "valid" : "INVALID (signature or CRC)");
    std::printf("firmware version %s\n", version(trailer.words[updater::kWordFirmwareVersion]).c_str());
    std::printf("player version   %s\n", version(trailer.words[updater::kWordPlayerVersion]).c_str());
    std::printf("format           %s\n", trailer.words[updater::kWordFormatFlag] ? "YES" : "NO");
    std::printf("player byte sum  0x%08X\n", trailer.words[updater::kWordPlayerByteSum]);
    int bad = 0;
    for (const updater::PackagePart& part : updater::kPackageParts) {
        if (!trailer.HasPart(part))
            continue;
        const long long offset = trailer.words[part.offsetWord];
        const long long length = trailer.words[part.sizeWord];
        const bool inside = offset + length <= size - static_cast<long long>(updater::kTrailerSize);
        bad += inside ? 0 : 1;
        std::printf("%-16s offset %10lld size %10lld%s\n", Narrow(part.fileName).c_str(), offset, length,
                    inside ? "" : "  OUT OF RANGE");
    }
    return trailer.IsSealed() && bad == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    updater::CPackageTrailer trailer;
    std::optional<std::uint32_t> playerSum;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            Usage(stdout);
            return 0;
        } else if (arg == "--info" && hasValue) {
            return Info(argv[++i]);
        } else if ((arg == "--firmware-version" || arg == "--player-version") && hasValue) {
            const std::optional<std::uint32_t> version = ParseVersion(argv[++i]);
            if (!version) {
                std::fprintf(stderr, "wrenpack: %s wants X.Y.Z with each number 0-255\n", arg.c_str());
                return 2;
            }
            trailer.words[arg == "--firmware-version" ? updater::kWordFirmwareVersion : updater::kWordPlayerVersion]
                = *version;
        } else if (arg == "--format") {
            trailer.words[updater::kWordFormatFlag] = 1;
        } else if (arg == "--player-sum" && hasValue) {
            char* end = nullptr;
            const unsigned long value = std::strtoul(argv[++i], &end, 0);
            if (!end || *end || value > 0xFFFFFFFFul) {
                std::fprintf(stderr, "wrenpack: --player-sum wants a 32-bit number\n");
                return 2;
            }
            playerSum = static_cast<std::uint32_t>(value);
        } else if (!arg.empty() && arg[0] == '-') {
            std::fprintf(stderr, "wrenpack: unknown option %s\n", arg.c_str());
            Usage(stderr);
            return 2;
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2) {
        Usage(stderr);
        return 2;
    }
    const std::filesystem::path folder = positional[0];
    std::ofstream out(positional[1], std::ios::binary | std::ios::trunc);
    if (!out) {
        std::fprintf(stderr, "wrenpack: cannot write %s\n", positional[1].c_str());
        return 1;
    }
    std::uint64_t offset = 0;
    int parts = 0;
    std::vector<char> buffer(1 << 20);
    for (const updater::PackagePart& part : updater::kPackageParts) {
        const std::filesystem::path path = folder / Narrow(part.fileName);
        std::error_code error;
        if (!std::filesystem::is_regular_file(path, error))
            continue;
        const std::uint64_t size = std::filesystem::file_size(path, error);
        if (error || size == 0)
            continue;
        if (offset + size + updater::kTrailerSize > 0xFFFFFFFFull) {
            std::fprintf(stderr, "wrenpack: the package would pass 4 GiB at %s\n", path.c_str());
            return 1;
        }
        std::ifstream in(path, std::ios::binary);
        std::uint64_t copied = 0;
        while (in && copied < size) {
            in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
            out.write(buffer.data(), in.gcount());
            copied += static_cast<std::uint64_t>(in.gcount());
        }
        if (copied != size || !out) {
            std::fprintf(stderr, "wrenpack: cannot copy %s\n", path.c_str());
            return 1;
        }
        trailer.words[part.offsetWord] = static_cast<std::uint32_t>(offset);
        trailer.words[part.sizeWord] = static_cast<std::uint32_t>(size);
        offset += size;
        ++parts;
        std::printf("%-16s offset %10llu size %10llu\n", path.filename().c_str(),
                    static_cast<unsigned long long>(trailer.words[part.offsetWord]),
                    static_cast<unsigned long long>(size));
        if (part.sizeWord == updater::kWordPlayerSize && !playerSum) {
            playerSum = SumZip(path.string());
            if (!playerSum) {
                std::fprintf(stderr, "wrenpack: %s is not a readable zip archive\n", path.c_str());
                return 1;
            }
        }
    }
    if (parts == 0) {
        std::fprintf(stderr, "wrenpack: no parts in %s\n", folder.c_str());
        return 1;
    }
    trailer.words[updater::kWordPlayerByteSum] = playerSum.value_or(0);
    trailer.Seal();
    BYTE bytes[updater::kTrailerSize];
    trailer.ToBytes(bytes);
    out.write(reinterpret_cast<const char*>(bytes), updater::kTrailerSize);
    out.close();
    if (!out) {
        std::fprintf(stderr, "wrenpack: cannot write %s\n", positional[1].c_str());
        return 1;
    }
    std::printf("wrote %s: %d part(s), %llu bytes\n", positional[1].c_str(), parts,
                static_cast<unsigned long long>(offset + updater::kTrailerSize));
    return 0;
}
