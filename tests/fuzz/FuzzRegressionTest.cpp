// Replays the kept inputs of every fuzz target: the seed corpus
// (fuzz/corpus/<target>/) and each input that once made a target fail
// (fuzz/crashes/<target>/). A target aborts on a broken invariant, which
// fails the test case of its name.
#include "fuzz/FuzzTarget.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> TargetNames()
{
    std::vector<std::string> names;
    for (const auto& [name, target] : wrenfuzz::Targets())
        names.push_back(name);
    return names;
}

class FuzzRegression : public ::testing::TestWithParam<std::string> {};

TEST_P(FuzzRegression, KeptInputsRunClean)
{
    const wrenfuzz::Target target = wrenfuzz::Targets().at(GetParam());
    int inputs = 0;
    for (const char* kind : {"corpus", "crashes"}) {
        const fs::path folder = fs::path(WREN_FUZZ_DIR) / kind / GetParam();
        if (!fs::is_directory(folder))
            continue;
        for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
            if (!entry.is_regular_file() || entry.path().filename().string().front() == '.')
                continue;
            std::ifstream in(entry.path(), std::ios::binary);
            // An exactly sized copy, so that a read past the end is caught
            // under AddressSanitizer.
            const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            SCOPED_TRACE(entry.path().string());
            std::vector<std::uint8_t> input(bytes.begin(), bytes.end());
            EXPECT_EQ(0, target(input.data(), input.size()));
            ++inputs;
        }
    }
    EXPECT_GT(inputs, 0) << "no seed corpus for " << GetParam();
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzRegression, ::testing::ValuesIn(TargetNames()),
                         [](const ::testing::TestParamInfo<std::string>& i) { return i.param; });

} // namespace
