// Unpacking the application archive and summing its bytes, each against a
// reference measured in the same run:
//  - BM_ExtractPlayerZip: CZipArchive::ExtractAll of a generated 200 MB
//    player zip (50 files of 4 MiB, deflated) into a unit folder, against
//    BM_ZlibInflateReference, zlib's own inflate of the same compressed
//    entries from memory into a scratch buffer. Goal: at least 80 % of the
//    reference's bytes per second.
//  - BM_SumFolderBytes: SumFolderBytes over the extracted tree, and
//    BM_AddByteSum over 64 MiB in memory. Goal: above 1 GB/s.
#include "platform/unit/Unit.h"
#include "updater/FileHelpers.h"
#include "updater/ZipArchive.h"

#include <benchmark/benchmark.h>

#include <unzip.h>
#include <zip.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 50;
constexpr std::size_t kFileSize = 4u << 20;

// File contents that compress like program files and pictures do (about
// 2-3 : 1): runs of words from a small vocabulary mixed with noise.
std::vector<unsigned char> Content(int seed)
{
    std::vector<unsigned char> data(kFileSize);
    std::uint32_t x = 0x9E3779B9u * static_cast<std::uint32_t>(seed + 1);
    static const char* words[] = {"Wren",   "Pavo",   "update", "\x00\x00\x00\x01", "kernel",  "\xFF\xFE",
                                  "frame ", "bitmap", "NAND",   "0123456789",       "element", "\r\n"};
    std::size_t i = 0;
    while (i < data.size()) {
        x = x * 1664525u + 1013904223u;
        if ((x >> 28) < 2) {
            const std::size_t noise = std::min<std::size_t>(8 + (x >> 20 & 31), data.size() - i);
            for (std::size_t k = 0; k < noise; ++k) {
                x = x * 1664525u + 1013904223u;
                data[i++] = static_cast<unsigned char>(x >> 24);
            }
        } else {
            const char* word = words[(x >> 16) % 12];
            for (const char* p = word; *p && i < data.size(); ++p)
                data[i++] = static_cast<unsigned char>(*p);
        }
    }
    return data;
}

struct PlayerZip {
    PlayerZip()
    {
        std::string pattern = (fs::temp_directory_path() / "wren-updaterbench-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        root = pattern;
        platform::OpenUnit(root);
        fs::create_directories(root + "/HDD");
        const std::string path = root + "/HDD/_PLAYER_.ZIP";
        zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
        for (int f = 0; f < kFiles; ++f) {
            const std::vector<unsigned char> data = Content(f);
            zip_fileinfo info{};
            info.dosDate = (static_cast<uLong>((44 << 9) | (1 << 5) | 1) << 16);
            const std::string name = "Wren/Data/" + std::to_string(f) + ".bin";
            zipOpenNewFileInZip(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 6);
            zipWriteInFileInZip(zip, data.data(), static_cast<unsigned>(data.size()));
            zipCloseFileInZip(zip);
        }
        zipClose(zip, nullptr);
        zipBytes = fs::file_size(path);
        // The compressed streams, for the reference.
        unzFile unz = unzOpen64(path.c_str());
        for (int ok = unzGoToFirstFile(unz); ok == UNZ_OK; ok = unzGoToNextFile(unz)) {
            unz_file_info64 info{};
            unzGetCurrentFileInfo64(unz, &info, nullptr, 0, nullptr, 0, nullptr, 0);
            int method = 0, level = 0;
            unzOpenCurrentFile2(unz, &method, &level, 1);
            std::vector<unsigned char> raw(info.compressed_size);
            unzReadCurrentFile(unz, raw.data(), static_cast<unsigned>(raw.size()));
            unzCloseCurrentFile(unz);
            streams.push_back(std::move(raw));
        }
        unzClose(unz);
    }
    ~PlayerZip()
    {
        platform::CloseUnit();
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    std::string root;
    std::uintmax_t zipBytes = 0;
    std::vector<std::vector<unsigned char>> streams;
};

PlayerZip& Zip()
{
    static PlayerZip zip;
    return zip;
}

constexpr std::int64_t kTotal = static_cast<std::int64_t>(kFiles) * kFileSize;

void BM_ZlibInflateReference(benchmark::State& state)
{
    PlayerZip& zip = Zip();
    std::vector<unsigned char> out(64 * 1024);
    for (auto _ : state) {
        for (const auto& raw : zip.streams) {
            z_stream stream{};
            inflateInit2(&stream, -MAX_WBITS);
            stream.next_in = const_cast<unsigned char*>(raw.data());
            stream.avail_in = static_cast<uInt>(raw.size());
            int result = Z_OK;
            while (result == Z_OK) {
                stream.next_out = out.data();
                stream.avail_out = static_cast<uInt>(out.size());
                result = inflate(&stream, Z_NO_FLUSH);
                benchmark::DoNotOptimize(out.data());
            }
            inflateEnd(&stream);
        }
    }
    state.SetBytesProcessed(state.iterations() * kTotal);
    state.counters["ratio"] = static_cast<double>(kTotal) / static_cast<double>(zip.zipBytes);
}
BENCHMARK(BM_ZlibInflateReference)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ExtractPlayerZip(benchmark::State& state)
{
    Zip();
    for (auto _ : state) {
        CZipArchive archive(u"\\HDD\\_PLAYER_.ZIP");
        archive.SetTargetFolder(u"\\NAND");
        if (!archive.ExtractAll(FALSE))
            state.SkipWithError("extraction failed");
    }
    state.SetBytesProcessed(state.iterations() * kTotal);
}
BENCHMARK(BM_ExtractPlayerZip)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SumFolderBytes(benchmark::State& state)
{
    Zip();
    {
        CZipArchive archive(u"\\HDD\\_PLAYER_.ZIP");
        archive.SetTargetFolder(u"\\NAND");
        archive.ExtractAll(FALSE);
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(SumFolderBytes(u"\\NAND", TRUE));
    state.SetBytesProcessed(state.iterations() * kTotal);
}
BENCHMARK(BM_SumFolderBytes)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_AddByteSum(benchmark::State& state)
{
    const std::vector<unsigned char> data = Content(7);
    for (auto _ : state)
        benchmark::DoNotOptimize(updater::AddByteSum(0, data.data(), data.size()));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(data.size()));
}
BENCHMARK(BM_AddByteSum);

} // namespace
