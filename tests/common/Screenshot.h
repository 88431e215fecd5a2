// Exact screenshot comparison for tests. A test renders something onto the
// unit's screen, takes the picture and compares it pixel for pixel with its
// reference, tests/data/<suite>/<name>.png (by default the running test's
// suite and name). Rendering is deterministic, so there is no tolerance: one
// level of one channel of one pixel is a failure.
//
//     EXPECT_TRUE(screenshot::ScreenMatchesReference());
//
// On a mismatch the actual image and a diff image (the differing pixels in
// magenta over a dimmed grey actual, their bounding box outlined in yellow)
// are written under $WREN_SCREENSHOT_OUT (default: the build's
// tests/screenshots folder) as <suite>/<name>.actual.png and
// <suite>/<name>.diff.png, and the failure names both, the reference, the
// number of differing pixels and their bounding box. With
// WREN_UPDATE_SCREENSHOTS=1 the references are rewritten instead (and the
// test says so); look at them before committing them.
#pragma once

#include "platform/base/Types.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace screenshot {

// An image of 0xRRGGBB pixels, rows top down.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    Image() = default;
    Image(int w, int h, std::uint32_t fill = 0);

    std::uint32_t& At(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
    std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
    bool operator==(const Image&) const = default;
};

// The unit's screen as shown (inverted caret rectangles included), each
// RGB565 channel widened to 8 bits the way the screen's own PNGs do it.
Image CaptureScreen();

// Reads an 8-bit PNG (any colour type is converted to RGB); false when the
// file is missing or not a PNG.
bool ReadPng(const std::filesystem::path& path, Image& image);
// Writes an 8-bit RGB PNG, deterministically (no time or text chunks, the
// same bytes for the same pixels) and at the best compression. The file is
// written beside the target and renamed over it; missing folders are made.
bool WritePng(const std::filesystem::path& path, const Image& image);

// Where two images differ. Images of different sizes are compared over the
// larger extent; a pixel that only one of them has differs.
struct Difference {
    std::size_t count = 0;
    RECT box{};                              // bounding box of the differing pixels, right and bottom exclusive
    int firstX = -1, firstY = -1;            // the first differing pixel, in row order
    std::uint32_t actual = 0, reference = 0; // its values (0 where outside an image)

    bool Empty() const { return count == 0; }
};
Difference Compare(const Image& actual, const Image& reference);
// The actual image dimmed to grey, the differing pixels in magenta and the
// bounding box of the difference outlined in yellow around them.
Image DiffImage(const Image& actual, const Image& reference);

// One screenshot's reference and output files.
struct Shot {
    std::string suite;
    std::string name;
    std::filesystem::path referenceRoot; // holds <suite>/<name>.png
    std::filesystem::path outputRoot;    // receives <suite>/<name>.actual.png and .diff.png
    bool update = false;                 // rewrite the reference instead of comparing

    // The running test's shot: suite and name default to the GoogleTest
    // suite and test (characters other than letters, digits, '_', '-' and
    // '.' become '_', and a leading dot too, so a name stays one file in
    // its folder); references in tests/data; output under
    // $WREN_SCREENSHOT_OUT or the build's tests/screenshots; update from
    // WREN_UPDATE_SCREENSHOTS.
    static Shot ForCurrentTest(const std::string& name = {}, const std::string& suite = {});

    std::filesystem::path Reference() const;
    std::filesystem::path Actual() const;
    std::filesystem::path Diff() const;
};

// Compares actual with the shot's reference: passes when they are equal,
// fails on any difference and on a missing or unreadable reference, then
// writing the actual image (and, against a reference, the diff image) and
// naming them. The images an earlier failure left are removed first. In
// update mode writes the reference when it is missing or differs and
// passes, saying on stdout what it wrote; fails only when it cannot write.
::testing::AssertionResult Matches(const Image& actual, const Shot& shot);

// The same for the running test: the image, or the screen as shown now.
// Give a name of its own to each shot after the first in one test.
::testing::AssertionResult MatchesReference(const Image& actual, const std::string& name = {},
                                            const std::string& suite = {});
::testing::AssertionResult ScreenMatchesReference(const std::string& name = {}, const std::string& suite = {});

} // namespace screenshot
