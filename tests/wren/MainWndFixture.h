// What the main window tests share: a unit root of their own, a manual
// clock whose sleeps move it, the simulated board's drivers (each behind a
// tracer that writes every open and control call of every driver into one
// list, in order), and the main window made with a kernel frame whose
// creation step installs a recording hook and a listener of every action.
#pragma once

#include "Lib_cpp/controls/Element.h"
#include "Lib_cpp/frame/KernelFrame.h"
#include "Lib_cpp/kernel/Kernel.h"
#include "Source/models/UnitLink.h"
#include "Source/shell/MainWnd.h"
#include "platform/base/Clock.h"
#include "platform/io/Device.h"
#include "sim/AudioProcessor.h"
#include "sim/ConnectionStatus.h"
#include "sim/DmbModule.h"
#include "sim/Micom.h"
#include "sim/RemoteControl.h"
#include "tests/common/FrameWindow.h"
#include "tests/common/TempUnit.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace mainwndtest {

using Log = std::vector<std::string>;

inline std::string Hex(DWORD v)
{
    char text[16];
    std::snprintf(text, sizeof(text), "%08X", v);
    return text;
}

// Forwards every call to the device it wraps and notes opens and control
// calls as "NAME open" and "NAME CODE".
class Tracer : public platform::Device {
public:
    Tracer(std::string name, std::shared_ptr<platform::Device> inner, Log* log)
        : m_name(std::move(name)), m_inner(std::move(inner)), m_log(log)
    {
    }
    bool Open(DWORD access, DWORD share) override
    {
        m_log->push_back(m_name + " open");
        return m_inner->Open(access, share);
    }
    BOOL IoControl(DWORD code, const BYTE* in, DWORD inSize, BYTE* out, DWORD outSize, DWORD* returned) override
    {
        m_log->push_back(m_name + " " + Hex(code));
        return m_inner->IoControl(code, in, inSize, out, outSize, returned);
    }
    BOOL Read(BYTE* buffer, DWORD size, DWORD* read) override { return m_inner->Read(buffer, size, read); }
    BOOL Write(const BYTE* data, DWORD size, DWORD* written) override { return m_inner->Write(data, size, written); }
    void Close() override { m_inner->Close(); }

private:
    std::string m_name;
    std::shared_ptr<platform::Device> m_inner;
    Log* m_log;
};

// Every action the kernel broadcasts, as "id kind value"; argument events as
// "id args a b c".
class AllActions : public IxElement {
public:
    AllActions()
    {
        const int kinds[] = {AEV_DEFAULT, AEV_RELEASE, AEV_HOLDSTART, AEV_SHORTPRESS, AEV_ATTACH, AEV_DETACH, AEV_ARGS};
        int i = 0;
        for (int kind : kinds)
            filter[i++] = IxActionWord(0, kind);
        filter[i] = 0;
        IxGetKernel()->AddListener(filter, this);
    }
    int ActionIsInvoked(int code, int kind, LPARAM value) override
    {
        if (kind == AEV_ARGS) {
            const auto* args = reinterpret_cast<const LPARAM*>(value);
            heard.push_back(std::to_string(code) + " args " + std::to_string(args[0]) + " " + std::to_string(args[1])
                            + " " + std::to_string(args[2]));
        } else {
            heard.push_back(std::to_string(code) + " " + std::to_string(kind) + " " + std::to_string(value));
        }
        return 0;
    }
    void Draw(IxPaintRecord*) override {}

    DWORD filter[8];
    Log heard;
};

// The kernel application object's share: what is handed to it at once
// ("hook id kind value") and the buttons keys show ("button id press").
class RecordingHook : public IxKernelAppPlayer {
public:
    explicit RecordingHook(Log* log) : m_log(log) {}
    int ActionIsInvoked(int code, int kind, LPARAM value) override
    {
        m_log->push_back("hook " + std::to_string(code) + " " + std::to_string(kind) + " " + std::to_string(value));
        return IxKernelAppPlayer::ActionIsInvoked(code, kind, value);
    }
    int KeyToButton(int buttonKey, BOOL press) override
    {
        m_log->push_back("button " + std::to_string(buttonKey) + " " + std::to_string(press ? 1 : 0));
        return 0;
    }

private:
    Log* m_log;
};

struct Recorders {
    std::unique_ptr<AllActions> actions;
    Log hook;
};

class RecordingFrame : public IxKernelFrame {
public:
    RecordingFrame(HINSTANCE instance, IxFrameWnd* window, Recorders* recorders)
        : IxKernelFrame(instance, window, g_uIxNotifyAction, g_uIxRecall, g_uIxFromExternal), m_recorders(recorders)
    {
    }
    IxElement* Created() override
    {
        SetHook(new RecordingHook(&m_recorders->hook));
        m_recorders->actions = std::make_unique<AllActions>();
        return nullptr;
    }

private:
    Recorders* m_recorders;
};

class TestMainWnd : public CMainWnd {
public:
    static inline Recorders* s_recorders = nullptr;

protected:
    IxKernelFrame* NewKernelFrame(HINSTANCE instance) override
    {
        return new RecordingFrame(instance, this, s_recorders);
    }
};

inline constexpr const WCHAR* kClass = u"MainWndTestClass";

class MainWndFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        clock.SetSleepAdvances(true);
        ASSERT_TRUE(unit.IsOpen());
        GetUnitLink().ResetStates();
        micom = sim::CMicom::Install();
        audio = sim::CAudioProcessor::Install();
        connection = sim::CConnectionStatus::Install();
        remote = sim::CRemoteControl::Install();
        dmb = sim::CDmbModule::Install();
        for (const char16_t* name : {u"NEC1:", u"ASP1:", u"CST1:", u"RMT1:", u"DMB1:"}) {
            std::string ascii(name, name + 5);
            platform::RegisterDevice(name, std::make_shared<Tracer>(ascii, platform::FindDevice(name), &calls));
        }
        TestMainWnd::s_recorders = &recorders;
    }
    void TearDown() override
    {
        Close();
        TestMainWnd::s_recorders = nullptr;
        GetUnitLink().CloseDevices();
        GetUnitLink().ResetStates();
        sim::CDmbModule::Uninstall();
        sim::CRemoteControl::Uninstall();
        sim::CConnectionStatus::Uninstall();
        sim::CAudioProcessor::Uninstall();
        sim::CMicom::Uninstall();
    }
    // Creates the main window; false when creation failed.
    bool Open()
    {
        window = frametest::OpenFrameWindow<TestMainWnd>(kClass);
        if (!window)
            return false;
        hwnd = window->GetHandle();
        Pump();
        return true;
    }
    void Close()
    {
        recorders.actions.reset();
        if (!window)
            return;
        HWND handle = hwnd;
        if (IsWindow(handle))
            DestroyWindow(handle);
        delete window;
        window = nullptr;
        frametest::CloseFrameWindow(handle, kClass);
    }
    // Opens the window with the shell ready for keys, and forgets what
    // creation did.
    void OpenReady()
    {
        ASSERT_TRUE(Open());
        GetUnitLink().m_nInitComplete = 1;
        Take();
    }
    void Pump()
    {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    // Sends a message to the main window and handles what it posted.
    void Send(UINT message, WPARAM wParam, LPARAM lParam)
    {
        SendMessageW(hwnd, message, wParam, lParam);
        Pump();
    }
    // The actions heard since the last call, then what reached the hook.
    Log Take()
    {
        Log out;
        if (recorders.actions) {
            out.swap(recorders.actions->heard);
        }
        for (auto& line : recorders.hook)
            out.push_back(line);
        recorders.hook.clear();
        calls.clear();
        return out;
    }

    platform::ManualClock clock;
    TempUnit unit{"wren-mainwnd"};
    std::shared_ptr<sim::CMicom> micom;
    std::shared_ptr<sim::CAudioProcessor> audio;
    std::shared_ptr<sim::CConnectionStatus> connection;
    std::shared_ptr<sim::CRemoteControl> remote;
    std::shared_ptr<sim::CDmbModule> dmb;
    Log calls;
    Recorders recorders;
    TestMainWnd* window = nullptr;
    HWND hwnd = nullptr;
};

} // namespace mainwndtest
