#include "updater/MainWindow.h"

#include "platform/base/Text.h"
#include "platform/gfx/Screen.h"
#include "updater/FileHelpers.h"
#include "updater/Resources.h"

namespace {

// Single-line text centred both ways in the rectangle.
void DrawCentred(HDC dc, LPCWSTR text, const RECT& rect)
{
    const int length = static_cast<int>(platform::TextLength(text));
    SIZE size{};
    GetTextExtentExPointW(dc, text, length, 0, nullptr, nullptr, &size);
    const int x = rect.left + ((rect.right - rect.left) - size.cx) / 2;
    const int y = rect.top + ((rect.bottom - rect.top) - size.cy) / 2;
    ExtTextOutW(dc, x, y, 0, nullptr, text, static_cast<UINT>(length), nullptr);
}

void DrawLine(HDC dc, LPCWSTR text, const RECT& rect, int height, int weight)
{
    if (!text || !*text)
        return;
    HFONT font = CreateTextFont(u"Tahoma", height, weight, FALSE, 0);
    HGDIOBJ old = SelectObject(dc, font);
    DrawCentred(dc, text, rect);
    SelectObject(dc, old);
    DeleteObject(font);
}

} // namespace

CMainWIndow::CMainWIndow()
    : m_progressTicker([this](DWORD duration, DWORD elapsed) { UpdateProgress(duration, elapsed); })
{
}

CMainWIndow::~CMainWIndow()
{
    m_busyAnimation.Stop();
    m_progressTicker.Close();
}

BOOL CMainWIndow::Create(HINSTANCE instance)
{
    if (!RegisterClass(instance, u"WrenUpdater", RGB(0, 0, 0)))
        return FALSE;
    return CBaseWindow::Create(u"WrenUpdater", WS_POPUP | WS_VISIBLE, 0, 0, platform::kScreenWidth,
                               platform::kScreenHeight, nullptr);
}

void CMainWIndow::OnCreate()
{
    m_progressBar.Init(m_hWnd, IDB_PROGRESS_BAR, 164, 339, 472, 20);
    m_busyAnimation.Start(m_hWnd, nullptr);
}

void CMainWIndow::OnPaint(HDC dc)
{
    RECT client;
    GetClientRect(m_hWnd, &client);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    if (HBITMAP panel = LoadBitmapW(m_hInstance, IDB_STATUS_PANEL)) {
        HDC memory = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(memory, panel);
        BitBlt(dc, kPanelX, kPanelY, kPanelWidth, kPanelHeight, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DeleteDC(memory);
        DeleteObject(panel);
    }
}

void CMainWIndow::ShowStatus(LPCWSTR title, LPCWSTR text, LPCWSTR note)
{
    HDC dc = GetDC(m_hWnd);
    if (!dc)
        return;
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP canvas = CreateCompatibleBitmap(dc, kPanelWidth, kPanelHeight);
    HGDIOBJ oldCanvas = SelectObject(memory, canvas);
    if (HBITMAP panel = LoadBitmapW(m_hInstance, IDB_STATUS_PANEL)) {
        HDC source = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(source, panel);
        BitBlt(memory, 0, 0, kPanelWidth, kPanelHeight, source, 0, 0, SRCCOPY);
        SelectObject(source, old);
        DeleteDC(source);
        DeleteObject(panel);
    }
    SetBkMode(memory, TRANSPARENT);
    SetTextColor(memory, RGB(255, 255, 255));
    DrawLine(memory, title, RECT{88, 156, 509, 192}, 36, 600);
    DrawLine(memory, text, RECT{53, 211, 545, 237}, 26, 400);
    DrawLine(memory, note, RECT{76, 244, 530, 270}, 26, 400);
    BitBlt(dc, 189, 219, 421, 114, memory, 88, 156, SRCCOPY);
    SelectObject(memory, oldCanvas);
    DeleteObject(canvas);
    DeleteDC(memory);
    ReleaseDC(m_hWnd, dc);
}

void CMainWIndow::UpdateProgress(DWORD duration, DWORD elapsed)
{
    if (duration == 0)
        return;
    const ULONGLONG percent = static_cast<ULONGLONG>(elapsed < duration ? elapsed : duration) * 100 / duration;
    m_progressBar.SetPercent(static_cast<UINT>(percent));
}

void CMainWIndow::OnClose()
{
    DestroyWindow(m_hWnd);
}

void CMainWIndow::OnDestroy()
{
    m_busyAnimation.Stop();
    PostQuitMessage(0);
}
