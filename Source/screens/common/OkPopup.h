// The OK popup: lines of text on the information picture over a near-black
// screen, with one OK button. OK, or the time-out when one is given, closes
// it (after the current broadcast); the owner hears nothing.
//
//     auto* popup = new COkPopup({u"디스크가 없습니다."}, 3000);
//     popup->Show(this, 13030, RECT{0, 0, 800, 480}, -1);
#pragma once

#include "Lib_cpp/controls/View.h"
#include "Lib_cpp/core/Containers.h"
#include "Lib_cpp/kernel/Kernel.h"
#include "platform/base/Types.h"

#include <initializer_list>

class COkPopup : public IxView {
public:
    static constexpr COLORREF kScreenFill = 524288; // near black
    static constexpr RECT kPictureRect{138, 83, 138 + 524, 83 + 314};
    static constexpr RECT kOkRect{278, 338, 278 + 245, 338 + 52};
    static constexpr int kRowX = 163;
    static constexpr int kRowY = 140;
    static constexpr int kRowWidth = 474;
    static constexpr int kRowsHeight = 180; // shared by the rows
    static const WCHAR kPicture[];
    static const WCHAR kOkNormal[];
    static const WCHAR kOkPressed[];

    // timeoutMs 0: it stays until OK is pressed.
    COkPopup(const IxStringArray& lines, int timeoutMs);
    COkPopup(std::initializer_list<LPCWSTR> lines, int timeoutMs);
    ~COkPopup() override;

    // Gives the popup its id and place and pushes it at the priority as a
    // layer of the owner (none: a layer of its own); the frame owns it from
    // here on. 0 without a kernel, with an id below 1, or when shown already.
    BOOL Show(IxElement* owner, int id, const RECT& rect, int priority);

    int OnCreate(const IxElementParams* params) override;
    LRESULT OnEvent(int code, LPARAM param) override;
    int ActionIsInvoked(int code, int kind, LPARAM param) override;

    int GetTimeout() const { return m_nTimeout; }
    const IxStringArray& GetLines() const { return m_lines; }
    UINT_PTR TimerId() const { return IxTimerId(&m_nTimeout); }

private:
    void Close();

    int m_nTimeout;
    IxStringArray m_lines{8};
    DWORD m_filter[2]{};
    BOOL m_bListening = FALSE;
    BOOL m_bClosing = FALSE;
    BOOL m_bShown = FALSE;
};
