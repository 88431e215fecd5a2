#include "sim/NaviProgram.h"

#include "platform/gfx/Gdi.h"

#include <string>

namespace sim {

namespace {

// Draws a line of the given width and colour through the points.
void Road(HDC dc, const POINT* points, int count, int width, COLORREF color)
{
    HPEN pen = CreatePen(PS_SOLID, width, color);
    HGDIOBJ old = SelectObject(dc, pen);
    Polyline(dc, points, count);
    SelectObject(dc, old);
    DeleteObject(pen);
}

void Fill(HDC dc, RECT rect, COLORREF color)
{
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

} // namespace

CNaviProgram::CNaviProgram() : CSimProgram(kNaviProgramPath, kNaviWindowTitle, true) {}

CNaviProgram::~CNaviProgram()
{
    Stop();
}

bool CNaviProgram::Notify(NaviNotice notice, LPARAM value)
{
    return IsRunning() && Report(notice, value);
}

bool CNaviProgram::Report(NaviNotice notice, LPARAM value)
{
    return PostToUnit(kNaviNoticeMessageName, static_cast<WPARAM>(notice), value);
}

std::string CNaviProgram::PositionText(long x, long y)
{
    std::string text = "$LUMO, POS, 1, 0, 0, 0, ";
    text += std::to_string(x);
    text += ", ";
    text += std::to_string(y);
    return text;
}

bool CNaviProgram::ReportPosition(long x, long y)
{
    return RunOnProgramThread([this, x, y] {
        {
            std::lock_guard<std::mutex> lock(m_stateLock);
            m_x = static_cast<LONG>(x);
            m_y = static_cast<LONG>(y);
        }
        InvalidateRect(Window(), nullptr, FALSE);
        // The text travels without a terminating zero, as the program sends it.
        std::string text = PositionText(x, y);
        COPYDATASTRUCT copy{kNaviPositionReport, static_cast<DWORD>(text.size()), text.data()};
        if (HWND unit = FindWindowW(u"PLAYER", nullptr))
            SendMessageW(unit, WM_COPYDATA, reinterpret_cast<WPARAM>(Window()), reinterpret_cast<LPARAM>(&copy));
    });
}

int CNaviProgram::Layout() const
{
    std::lock_guard<std::mutex> lock(m_stateLock);
    return m_layout;
}

bool CNaviProgram::Shown() const
{
    std::lock_guard<std::mutex> lock(m_stateLock);
    return m_shown;
}

void CNaviProgram::OnStart()
{
    {
        std::lock_guard<std::mutex> lock(m_stateLock);
        m_layout = 0;
        m_shown = false;
    }
    Report(NaviNotice::Start);
    Report(NaviNotice::Init);
}

LRESULT CNaviProgram::OnCommand(ULONG_PTR data, const std::vector<std::uint8_t>&)
{
    switch (static_cast<NaviCommand>(data)) {
    case NaviCommand::Close:
        if (Fault() != ProgramFault::RefuseClose)
            Close();
        return 1;
    case NaviCommand::LayoutPip:
    case NaviCommand::LayoutFull: {
        bool pip = static_cast<NaviCommand>(data) == NaviCommand::LayoutPip;
        {
            std::lock_guard<std::mutex> lock(m_stateLock);
            m_layout = pip ? 1 : 0;
        }
        // The new layout goes back as a resize: 0 picture-in-picture, 2 full.
        Report(NaviNotice::Resize, pip ? 0 : 2);
        return 1;
    }
    case NaviCommand::UpdateScreen: {
        std::lock_guard<std::mutex> lock(m_stateLock);
        m_shown = true;
    }
        ShowWindow(Window(), SW_SHOW);
        InvalidateRect(Window(), nullptr, FALSE);
        Report(NaviNotice::Topmost);
        return 1;
    case NaviCommand::KeyA:
    case NaviCommand::KeyB:
    case NaviCommand::WarningValue:
    case NaviCommand::KeyState:
        return 1;
    }
    return 0;
}

void CNaviProgram::OnClose()
{
    Close();
}

void CNaviProgram::Close()
{
    Report(NaviNotice::Destroy);
    End(0);
    Report(NaviNotice::DestroyEnd);
}

void CNaviProgram::OnPaint(HDC dc, const RECT& client)
{
    LONG x = 0, y = 0;
    {
        std::lock_guard<std::mutex> lock(m_stateLock);
        x = m_x;
        y = m_y;
    }
    Fill(dc, client, RGB(236, 231, 218));                  // land
    Fill(dc, RECT{520, 40, 700, 180}, RGB(184, 219, 170)); // a park
    Fill(dc, RECT{60, 300, 230, 420}, RGB(184, 219, 170));
    const POINT river[] = {{0, 120}, {180, 160}, {330, 110}, {520, 230}, {800, 200}};
    Road(dc, river, 5, 26, RGB(160, 196, 232));
    const POINT roads[][4] = {
        {{0, 240}, {260, 250}, {560, 230}, {800, 260}},
        {{300, 0}, {320, 160}, {330, 330}, {310, 480}},
        {{600, 0}, {580, 200}, {620, 360}, {640, 480}},
        {{0, 420}, {200, 380}, {420, 400}, {800, 380}},
    };
    for (const auto& road : roads)
        Road(dc, road, 4, 16, RGB(196, 188, 170));
    for (const auto& road : roads)
        Road(dc, road, 4, 10, RGB(255, 255, 255));
    const POINT route[] = {{320, 480}, {330, 330}, {320, 160}, {400, 240}, {560, 230}};
    Road(dc, route, 5, 6, RGB(66, 133, 244));
    // The car: a chevron pointing up.
    const POINT car[] = {{x - 12, y + 12}, {x, y - 14}, {x + 12, y + 12}, {x, y + 4}, {x - 12, y + 12}};
    Road(dc, car, 5, 5, RGB(220, 40, 40));
}

} // namespace sim
