// What the model tests share: a unit root of their own, a manual clock whose
// sleeps move it, a frame window with its kernel (the center queues its
// notifications on the kernel's action queue and times its polls with kernel
// timers), a listener of the center's notifications, and fake models that
// log what the center asks of them.
#pragma once

#include "Lib_cpp/core/App.h"
#include "Lib_cpp/frame/KernelFrame.h"
#include "Lib_cpp/kernel/Kernel.h"
#include "Source/models/Model.h"
#include "Source/models/ModelCodes.h"
#include "platform/base/Clock.h"
#include "tests/common/ActionListener.h"
#include "tests/common/FrameWindow.h"
#include "tests/common/TempUnit.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace modeltest {

using Log = std::vector<std::string>;

inline std::string N(long long v)
{
    return std::to_string(v);
}

// The text followed by the number (built by appending).
inline std::string Say(const char* text, long long v)
{
    std::string out(text);
    out += std::to_string(v);
    return out;
}

// A model that logs the center's calls into a shared log and grants as
// told.
class FakeModel : public IxModel {
public:
    FakeModel(int id, Log* log) : IxModel(id), log(log) {}
    DWORD TakeSource(DWORD* granted, DWORD flags, int zone) override
    {
        log->push_back(N(m_nModelId) + " take " + N(flags) + " zone " + N(zone));
        return IxModel::TakeSource(granted, flags, zone);
    }
    DWORD ReleaseSource(DWORD* granted, DWORD flags, int zone) override
    {
        log->push_back(N(m_nModelId) + " release " + N(flags) + " zone " + N(zone));
        if (keep) {
            *granted = 0;
            return 0;
        }
        return IxModel::ReleaseSource(granted, flags, zone);
    }
    void HideVideo(BOOL on) override { log->push_back(N(m_nModelId) + " hide " + N(on)); }
    int SetVolume(int level) override
    {
        log->push_back(N(m_nModelId) + " volume " + N(level));
        return 1;
    }
    int PolledValue() override { return polled; }
    int QueryAll(int, int) override { return answer; }
    void DeviceStateIsChanged(int device, int kind) override
    {
        log->push_back(N(m_nModelId) + " device " + N(device) + " " + N(kind));
    }
    BOOL IsTunerTuning() const override { return tuning; }

    Log* log;
    bool keep = false; // refuses to give anything up
    int polled = 0;
    int answer = 1;
    BOOL tuning = FALSE;
};

class TestApp : public IxApp {
public:
    explicit TestApp(LPCWSTR cls) : IxApp(cls) {}
    HWND InitInstance() override { return nullptr; }
};

class ModelFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        clock.SetSleepAdvances(true);
        ASSERT_TRUE(unit.IsOpen());
        IxFrameWnd* window = frametest::OpenFrameWindow(u"ModelFixtureClass");
        ASSERT_NE(window, nullptr);
        hwnd = window->GetHandle();
        frame = window->GetKernelFrame();
        ASSERT_NE(frame, nullptr);
        kernel = IxGetKernel();
        ASSERT_NE(kernel, nullptr);
        Pump();
        notices = std::make_unique<frametest::ActionListener>(MODELID_CENTER);
    }
    void TearDown() override
    {
        notices.reset();
        frametest::CloseFrameWindow(hwnd, u"ModelFixtureClass");
    }
    void Pump()
    {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    // The center's notifications queued since the last call, as "code value".
    Log Heard()
    {
        kernel->DrainQueue();
        Log out;
        for (const auto& h : notices->heard)
            out.push_back(N(h.kind) + " " + N(h.value));
        notices->heard.clear();
        return out;
    }
    Log Take(Log& log)
    {
        Log out;
        out.swap(log);
        return out;
    }

    platform::ManualClock clock;
    TempUnit unit{"wren-models"};
    TestApp app{u"ModelFixtureClass"};
    HWND hwnd = nullptr;
    IxKernelFrame* frame = nullptr;
    IxKernel* kernel = nullptr;
    std::unique_ptr<frametest::ActionListener> notices;
};

} // namespace modeltest
