// A unit root for the targets that work on files: one temporary folder per
// process (the targets share it when they run in one program), named by
// WREN_ROOT and removed when the program ends; the drive folders a target
// asks for are made when missing. Inputs are written into it as
// the files the code under test opens.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>

namespace wrenfuzz {

inline const std::string& FuzzRoot(const char* prefix, std::initializer_list<const char*> folders)
{
    static const std::string root = [&] {
        std::string pattern = (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
        std::string made = mkdtemp(pattern.data());
        setenv("WREN_ROOT", made.c_str(), 1);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(std::getenv("WREN_ROOT"), ignored);
        });
        return made;
    }();
    std::error_code ignored;
    for (const char* folder : folders)
        std::filesystem::create_directories(root + "/" + folder, ignored);
    return root;
}

inline void WriteInput(const std::string& path, const std::uint8_t* data, std::size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

} // namespace wrenfuzz
