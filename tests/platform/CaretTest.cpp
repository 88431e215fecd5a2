#include "platform/base/Error.h"
#include "platform/base/Handle.h"
#include "platform/gfx/Screen.h"
#include "platform/os/Sync.h"
#include "platform/os/Thread.h"
#include "platform/ui/Window.h"
#include "tests/platform/PaintedWindows.h"

#include "tests/common/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

static bool operator==(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

namespace {

constexpr WORD kBlue = 0x001F;
constexpr WORD kInverted = static_cast<WORD>(~kBlue);
constexpr WORD kRed = 0xF800;

using Caret = PaintedWindows;

// The window at (100, 100), 100x50, blue; the caret 2x10 at (10, 5) in it,
// so on the screen it covers x 110..111, y 105..114.
TEST_F(Caret, ShowsInvertedOnlyWhenEveryHideIsMatchedByAShow)
{
    HWND w = Make(kBlue, RECT{100, 100, 200, 150});
    Pump();
    ASSERT_TRUE(CreateCaret(w, nullptr, 2, 10));
    ASSERT_TRUE(SetCaretPos(10, 5));
    POINT p{};
    ASSERT_TRUE(GetCaretPos(&p));
    EXPECT_EQ(p.x, 10);
    EXPECT_EQ(p.y, 5);

    // +1 hides once more, -1 shows once; what follows each step.
    struct Step {
        const char* name;
        int change;
        bool shown;
    };
    const Step steps[] = {
        {"created hidden", 0, false},   {"shown", -1, true},
        {"hidden", +1, false},          {"hidden twice", +1, false},
        {"one show of two", -1, false}, {"second show", -1, true},
        {"extra show", -1, true},       {"one hide after it", +1, false},
        {"shown again", -1, true},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        if (s.change > 0) {
            EXPECT_TRUE(HideCaret(w));
        }
        if (s.change < 0) {
            EXPECT_TRUE(ShowCaret(nullptr));
        }
        const WORD in = s.shown ? kInverted : kBlue;
        EXPECT_EQ(At(110, 105), in);
        EXPECT_EQ(At(111, 114), in);
        EXPECT_EQ(At(112, 105), kBlue);
        EXPECT_EQ(At(110, 115), kBlue);
        EXPECT_EQ(At(109, 104), kBlue);
    }

    // Painting under the caret does not mix with it: the pixels keep the
    // window's drawing and the caret shows over them.
    InvalidateRect(w, nullptr, FALSE);
    Pump();
    EXPECT_EQ(platform::Screen::Get().Pixels()[105 * 800 + 110], kBlue);
    EXPECT_EQ(At(110, 105), kInverted);

    // It is in a screenshot.
    TempFolder folder("wren-caret");
    const std::string png = folder.Path() + "/shot.png";
    ASSERT_TRUE(platform::Screen::Get().SavePng(png));
    int width = 0, height = 0;
    std::vector<std::uint32_t> rgb;
    ASSERT_TRUE(platform::ReadPng(png, width, height, rgb));
    EXPECT_EQ(rgb[105 * 800 + 110], platform::Rgb565ToRgb888(kInverted));
    EXPECT_EQ(rgb[105 * 800 + 112], platform::Rgb565ToRgb888(kBlue));

    // Moving it moves the block.
    ASSERT_TRUE(SetCaretPos(50, 20));
    EXPECT_EQ(At(110, 105), kBlue);
    EXPECT_EQ(At(150, 120), kInverted);
    ASSERT_TRUE(DestroyCaret());
    EXPECT_EQ(At(150, 120), kBlue);
    EXPECT_FALSE(DestroyCaret());
    EXPECT_FALSE(GetCaretPos(&p));
}

TEST_F(Caret, ShowsOnlyWhereItsWindowShows)
{
    HWND w = Make(kBlue, RECT{100, 100, 200, 150});
    Pump();
    ASSERT_TRUE(CreateCaret(w, nullptr, 20, 10));
    ASSERT_TRUE(SetCaretPos(90, 45)); // reaches past the bottom-right corner
    ASSERT_TRUE(ShowCaret(w));
    EXPECT_EQ(platform::Screen::Get().Inverted(), (std::vector<RECT>{RECT{190, 145, 200, 150}}));

    // A window in front covers the left half of it.
    HWND front = Make(kRed, RECT{0, 0, 195, 480}, WS_EX_TOPMOST);
    Pump();
    EXPECT_EQ(At(192, 147), kRed);
    EXPECT_EQ(At(197, 147), kInverted);
    DestroyWindow(front);
    ASSERT_TRUE(SetCaretPos(0x7FFFFFF0, 0x7FFFFFF0)); // far off, nowhere
    EXPECT_TRUE(platform::Screen::Get().Inverted().empty());

    // It goes with its window, and hides with it.
    ASSERT_TRUE(SetCaretPos(0, 0));
    ASSERT_TRUE(MoveWindow(w, 300, 200, 100, 50, TRUE));
    Pump();
    EXPECT_EQ(At(300, 200), kInverted);
    ShowWindow(w, SW_HIDE);
    EXPECT_TRUE(platform::Screen::Get().Inverted().empty());
    ShowWindow(w, SW_SHOW);
    EXPECT_EQ(At(300, 200), kInverted);

    // Destroying the window destroys the caret.
    DestroyWindow(w);
    EXPECT_TRUE(platform::Screen::Get().Inverted().empty());
    POINT p;
    EXPECT_FALSE(GetCaretPos(&p));
    EXPECT_FALSE(ShowCaret(nullptr));
}

struct Worker {
    HWND own = nullptr;
    HWND foreign = nullptr; // the test thread's window
    BOOL foreignRefused = FALSE;
    DWORD foreignError = 0;
    HANDLE ready = nullptr;
    HANDLE finish = nullptr;
};

// Makes a window with a caret; when told to finish, destroys the window.
DWORD CaretWorker(LPVOID parameter)
{
    auto* t = static_cast<Worker*>(parameter);
    t->foreignRefused = !CreateCaret(t->foreign, nullptr, 1, 1);
    t->foreignError = GetLastError();
    t->own = CreateWindowExW(0, PaintedWindows::kClass, u"", WS_POPUP | WS_VISIBLE, 200, 0, 50, 50, nullptr, nullptr,
                             nullptr, nullptr);
    SetWindowLongW(t->own, GWL_USERDATA, kBlue);
    UpdateWindow(t->own);
    CreateCaret(t->own, nullptr, 4, 4);
    SetCaretPos(1, 1);
    ShowCaret(t->own);
    SetEvent(t->ready);
    WaitForSingleObject(t->finish, INFINITE);
    DestroyWindow(t->own);
    return 0;
}

TEST_F(Caret, EachThreadHasItsOwnForItsOwnWindows)
{
    HWND mine = Make(kBlue, RECT{0, 0, 50, 50});
    HWND other = Make(kBlue, RECT{100, 0, 150, 50});
    Pump();
    ASSERT_TRUE(CreateCaret(mine, nullptr, 0, 0)); // one pixel
    ASSERT_TRUE(ShowCaret(mine));
    EXPECT_FALSE(ShowCaret(other));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    SetLastError(0);
    EXPECT_FALSE(CreateCaret(mine, reinterpret_cast<HBITMAP>(1), 2, 2));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    // A second CreateCaret replaces the first and starts hidden.
    ASSERT_TRUE(CreateCaret(other, nullptr, 2, 2));
    EXPECT_EQ(At(0, 0), kBlue);
    EXPECT_FALSE(HideCaret(mine));
    ASSERT_TRUE(ShowCaret(other));
    EXPECT_EQ(At(100, 0), kInverted);

    // Another thread may not take this thread's window, and has a caret of
    // its own.
    Worker t;
    t.foreign = mine;
    t.ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    t.finish = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, CaretWorker, &t, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(t.ready, 5000), WAIT_OBJECT_0);
    EXPECT_TRUE(t.foreignRefused);
    EXPECT_EQ(t.foreignError, ERROR_ACCESS_DENIED);
    EXPECT_EQ(At(201, 1), kInverted); // both carets show
    EXPECT_EQ(At(100, 0), kInverted);
    SetEvent(t.finish);
    ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    CloseHandle(thread);
    CloseHandle(t.ready);
    CloseHandle(t.finish);
    EXPECT_EQ(platform::Screen::Get().Inverted(), (std::vector<RECT>{RECT{100, 0, 102, 2}}));
    ASSERT_TRUE(DestroyCaret());
}

} // namespace
