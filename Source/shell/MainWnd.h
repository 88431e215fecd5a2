// The unit's main window "PLAYER": the one window the drivers and the
// external programs talk to. At creation it opens the drivers, checks the
// micom's status block, lets the framework create the kernel frame, reports
// the micom's and the board's state to the kernel, registers with the
// remote control and tells the platform shell that the unit has started.
// Its handlers turn the micom's, the board's, the remote control's, the
// voice program's and the navigation program's messages into kernel
// actions, filter touches while voice recognition runs and compose Korean
// text for the soft keyboard.
//
// The process-wide state it keeps and reads is the unit link (CUnitLink).
#pragma once

#include "Lib_cpp/frame/FrameWnd.h"
#include "Source/shell/EventDetachSD0.h"
#include "Source/shell/HangulInput.h"
#include "Source/shell/MainWndCodes.h"

#include <array>

class CMainWnd : public IxFrameWnd {
    IX_DECLARE_MESSAGE_MAP()
public:
    CMainWnd();
    ~CMainWnd() override;

    BOOL InvokeSoftKey(WCHAR ch, IxTextInput* first, IxTextInput* second) override;
    void OnExternalNotice(WPARAM wParam, LPARAM lParam) override;
    // The keyboard screens call it when they open: the automaton and the
    // three text buffers start empty, with no key remembered.
    void ResetSoftKeyboardText();
    // The Hangul input automaton the soft keyboard composes with (not
    // owned); without one, jamo are taken as plain characters.
    void SetHangulInput(CHangulInput* automaton) { m_pHangul = automaton; }

    int GetPendingVoiceView() const { return m_nPendingVoiceView; }
    HANDLE GetShellStartEvent() const { return m_hShellStart; }
    const CEventDetach_SD0& GetDetachWaiter() const { return m_detachSd0; }

    // The handlers, by message.
    LRESULT DoCreate(CREATESTRUCTW* cs, INT_PTR);
    void DoDestroy(INT_PTR, INT_PTR);
    LRESULT DoFromMain(WPARAM wParam, LPARAM lParam);
    LRESULT DoFromMicom(WPARAM wParam, LPARAM lParam);
    LRESULT DoFromBSP(WPARAM wParam, LPARAM lParam);
    LRESULT DoFromRemocon(WPARAM wParam, LPARAM lParam);
    LRESULT DoFromVoice(WPARAM wParam, LPARAM lParam);
    LRESULT DoCopyData(WPARAM wParam, LPARAM lParam);
    void DoLButtonDown(WPARAM keys, int x, int y);
    void DoLButtonUp(WPARAM keys, int x, int y);
    LRESULT OnCameraReport(WPARAM wParam, LPARAM lParam);
    LRESULT OnForward958(WPARAM wParam, LPARAM lParam);
    LRESULT OnForward959(WPARAM wParam, LPARAM lParam);
    LRESULT OnForward960(WPARAM wParam, LPARAM lParam);
    LRESULT OnQmrBroadcast(WPARAM wParam, LPARAM lParam);
    LRESULT OnTdmbAudioChange(WPARAM wParam, LPARAM lParam);
    LRESULT OnIgnored(WPARAM wParam, LPARAM lParam);

protected:
    // Wren's kernel frame: its creation step makes the application core.
    IxKernelFrame* NewKernelFrame(HINSTANCE instance) override;

private:
    // The ways of handing an action to the kernel; each does nothing without
    // a kernel frame.
    void Post(int id, int kind, LPARAM value);   // queued, delivered when the handler ends
    void Notify(int id, int kind, LPARAM value); // delivered at once
    void Hook(int id, int kind, LPARAM value);   // to the kernel application object at once
    void Args(int id, LPARAM a, LPARAM b, LPARAM c);
    void Key(int command, int button, BOOL press);

    void CheckStatusBlock();
    void ReportMicomState();
    void ReportConnectionState();
    void _doKeyFromBSP(DWORD value);
    void DoVoiceKey(BOOL down);
    void DoReverseGear(DWORD value);
    void DoPark(DWORD value, const WCHAR* prefix);
    void DoDisc(DWORD value);
    // The voice controller's notices; false for any other code.
    bool DoVoiceNotice(int code, int value);
    void DoVoiceCommand(int code);
    void AudioCall(DWORD code, DWORD value, const WCHAR* name, int line, BOOL* ok);

    HANDLE m_hShellStart = nullptr;
    HANDLE m_hShellPowerOff = nullptr;
    CEventDetach_SD0 m_detachSd0;
    // The soft keyboard's buffers: a spare one, the composing text and the
    // output text.
    std::array<WCHAR, kSoftKeyChars> m_szSpare{};
    std::array<WCHAR, kSoftKeyChars> m_szComposing{};
    std::array<WCHAR, kSoftKeyChars> m_szOutput{};
    CHangulInput* m_pHangul = nullptr;
    int m_nDeletePending = 0;
    int m_nPrevKey = 0;
    int m_nPendingVoiceView = 0;
};
