// The navigation program, simulated: "Lumo_DMU.exe" on the card that holds
// the navigation data. At its start it reports start and init to the unit;
// it takes the layout, show and close commands, answers a layout command
// with its new layout, paints a plain map into its full-screen window, and
// sends its map position when asked. Closing reports "destroy", ends, and
// reports "destroy end".
#pragma once

#include "platform/io/ProgramLinks.h"
#include "sim/SimProgram.h"

namespace sim {

class CNaviProgram : public CSimProgram {
public:
    CNaviProgram();
    ~CNaviProgram() override;

    // Posts a notification to the unit, as the program does; false when
    // the program does not run or the unit has no main window.
    bool Notify(NaviNotice notice, LPARAM value = 0);
    // Sends the map position report from the program's thread (the unit
    // answers it with an acknowledgement, seen in Commands()).
    bool ReportPosition(long x, long y);

    // The program's layout: 0 full screen, 1 picture-in-picture.
    int Layout() const;
    // Whether the map was asked to show since the start.
    bool Shown() const;

    // The text of a position report (fields separated by ", ", the seventh
    // and eighth the position).
    static std::string PositionText(long x, long y);

protected:
    void OnStart() override;
    LRESULT OnCommand(ULONG_PTR data, const std::vector<std::uint8_t>& bytes) override;
    void OnClose() override;
    void OnPaint(HDC dc, const RECT& client) override;

private:
    bool Report(NaviNotice notice, LPARAM value = 0);
    void Close();

    mutable std::mutex m_stateLock;
    int m_layout = 0;
    bool m_shown = false;
    LONG m_x = 400, m_y = 240; // the car on the map
};

} // namespace sim
