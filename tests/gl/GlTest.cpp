// EGL on the unit's headless screen: the exact RGB565 configuration, and a
// swap that shows the frame in the gate layer beneath the windows.
#include "platform/gfx/Screen.h"
#include "platform/gl/Egl.h"

#include <gtest/gtest.h>

#include <vector>

using namespace platform;

namespace {

EGLint Attribute(EGLDisplay display, EGLConfig config, EGLint name)
{
    EGLint value = -1;
    eglGetConfigAttrib(display, config, name, &value);
    return value;
}

class Gl : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_display = EglGetDisplay(nullptr);
        ASSERT_NE(EGL_NO_DISPLAY, m_display);
        ASSERT_TRUE(eglInitialize(m_display, nullptr, nullptr));
    }
    // The screen as the next test expects it: no gate layer. The display
    // stays initialised, as in the unit, for the life of the process (this
    // suite is a program of its own, so Mesa's threads meet no test that
    // forks).
    void TearDown() override
    {
        Screen::Get().RemoveVideoPlane(kGateLayerPlane);
        eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    }
    EGLDisplay m_display = EGL_NO_DISPLAY;
};

} // namespace

TEST_F(Gl, ChoosesExactlyTheSizesAsked)
{
    const struct {
        EGLint red, green, blue, alpha;
        bool found;
    } cases[] = {{5, 6, 5, 0, true}, {8, 8, 8, 8, true}, {8, 8, 8, 0, true}, {5, 6, 5, 8, false}, {7, 7, 7, 0, false}};
    for (const auto& c : cases) {
        const EGLint attributes[]
            = {EGL_RED_SIZE,   c.red,   EGL_GREEN_SIZE,      c.green,           EGL_BLUE_SIZE,    c.blue,
               EGL_ALPHA_SIZE, c.alpha, EGL_RENDERABLE_TYPE, EGL_OPENGL_ES_BIT, EGL_SURFACE_TYPE, EGL_WINDOW_BIT,
               EGL_NONE};
        EGLConfig config = nullptr;
        EGLint count = -1;
        ASSERT_TRUE(EglChooseConfig(m_display, attributes, &config, 1, &count));
        ASSERT_EQ(c.found ? 1 : 0, count) << c.red << c.green << c.blue << c.alpha;
        if (!c.found)
            continue;
        EXPECT_EQ(c.red, Attribute(m_display, config, EGL_RED_SIZE));
        EXPECT_EQ(c.green, Attribute(m_display, config, EGL_GREEN_SIZE));
        EXPECT_EQ(c.blue, Attribute(m_display, config, EGL_BLUE_SIZE));
        EXPECT_EQ(c.alpha, Attribute(m_display, config, EGL_ALPHA_SIZE));
        EXPECT_TRUE(Attribute(m_display, config, EGL_SURFACE_TYPE) & EGL_PBUFFER_BIT);
        // The fewest extra buffers first.
        EXPECT_EQ(0, Attribute(m_display, config, EGL_DEPTH_SIZE));
        EXPECT_EQ(0, Attribute(m_display, config, EGL_STENCIL_SIZE));
    }
}

TEST_F(Gl, ASwapShowsTheFrameWhereTheWindowsDrewTheColourKey)
{
    const EGLint attributes[]
        = {EGL_RED_SIZE,   5,       EGL_GREEN_SIZE, 6, EGL_BLUE_SIZE, 5, EGL_ALPHA_SIZE, 0, EGL_SURFACE_TYPE,
           EGL_WINDOW_BIT, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint count = 0;
    ASSERT_TRUE(EglChooseConfig(m_display, attributes, &config, 1, &count));
    ASSERT_EQ(1, count);
    EGLSurface surface = EglCreateWindowSurface(m_display, config, nullptr, nullptr);
    ASSERT_NE(EGL_NO_SURFACE, surface);
    const EGLint version[] = {EGL_CONTEXT_CLIENT_VERSION, 1, EGL_NONE};
    ASSERT_TRUE(eglBindAPI(EGL_OPENGL_ES_API));
    EGLContext context = eglCreateContext(m_display, config, EGL_NO_CONTEXT, version);
    ASSERT_NE(EGL_NO_CONTEXT, context);

    // Not current: nothing is shown.
    EXPECT_FALSE(EglSwapBuffers(m_display, surface));

    ASSERT_TRUE(eglMakeCurrent(m_display, surface, surface, context));
    EGLint width = 0, height = 0;
    eglQuerySurface(m_display, surface, EGL_WIDTH, &width);
    eglQuerySurface(m_display, surface, EGL_HEIGHT, &height);
    EXPECT_EQ(kScreenWidth, width);
    EXPECT_EQ(kScreenHeight, height);

    // Red over the whole frame, green over its top-left 10x10 (GL counts
    // rows from the bottom).
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, kScreenHeight - 10, 10, 10);
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);

    Screen& screen = Screen::Get();
    screen.Fill(kColorKey565);
    screen.Pixels()[static_cast<std::size_t>(kScreenWidth) * 100 + 100] = 0x001F; // a window's blue pixel
    ASSERT_TRUE(EglSwapBuffers(m_display, surface));
    EXPECT_EQ(0x07E0, screen.Pixel(0, 0));
    EXPECT_EQ(0x07E0, screen.Pixel(9, 9));
    EXPECT_EQ(0xF800, screen.Pixel(10, 9));
    EXPECT_EQ(0xF800, screen.Pixel(kScreenWidth - 1, kScreenHeight - 1));
    EXPECT_EQ(0x001F, screen.Pixel(100, 100));

    eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(m_display, context);
}
