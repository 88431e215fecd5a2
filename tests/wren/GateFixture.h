// Shared set-up of the 3D menu's tests: the menu's EGL context current on
// the test's thread with the menu's GL state, and small pictures written
// into a unit of the test's own.
#pragma once

#include "Source/gate/GateEgl.h"
#include "Source/gate/GateGL.h"
#include "platform/gfx/Screen.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace gatetest {

class GateGlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(gate::GateEgl::Init());
        gate::GateGL::InitState();
    }
    // The screen as the next test in this process expects it.
    void TearDown() override { platform::Screen::Get().RemoveVideoPlane(platform::kGateLayerPlane); }
};

// Writes an 8-bit RGBA PNG (rows top down) to a host path.
inline bool WriteRgbaPng(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgba)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, rgba.data() + static_cast<std::size_t>(y) * width * 4);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

} // namespace gatetest
