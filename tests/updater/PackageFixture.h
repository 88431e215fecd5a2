// Builds update packages and zip archives for the updater's tests.
#pragma once

#include "platform/base/Types.h"
#include "updater/PackageTrailer.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace updatertest {

// Bytes 0, 1, 2, ... seeded so that parts differ.
inline std::vector<BYTE> Pattern(std::size_t size, unsigned seed)
{
    std::vector<BYTE> bytes(size);
    std::uint32_t x = seed * 2654435761u + 1;
    for (BYTE& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<BYTE>(x >> 16);
    }
    return bytes;
}

// A package body of the parts (by index in kPackageParts; empty parts are
// left out) and its sealed trailer.
struct Package {
    std::vector<BYTE> body;
    updater::CPackageTrailer trailer;

    void AddPart(std::size_t index, const std::vector<BYTE>& data)
    {
        const updater::PackagePart& part = updater::kPackageParts[index];
        trailer.words[part.offsetWord] = static_cast<DWORD>(body.size());
        trailer.words[part.sizeWord] = static_cast<DWORD>(data.size());
        body.insert(body.end(), data.begin(), data.end());
    }

    std::vector<BYTE> Bytes(bool seal = true)
    {
        if (seal)
            trailer.Seal();
        std::vector<BYTE> bytes = body;
        bytes.resize(body.size() + updater::kTrailerSize);
        trailer.ToBytes(bytes.data() + body.size());
        return bytes;
    }
};

inline void WriteHostFile(const std::filesystem::path& path, const std::vector<BYTE>& bytes)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<BYTE> ReadHostFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<BYTE>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

} // namespace updatertest
