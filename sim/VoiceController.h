// The voice controller, simulated: "VoiceControllerU.exe" on the card that
// holds the navigation data. At its start it reports that it is ready; it
// keeps the mode the unit reports for the screen shown, listens between the
// start and stop commands (reporting its screen and the microphone), ends
// on WM_CLOSE, and speaks commands to the unit when a test or the console
// asks.
#pragma once

#include "platform/io/ProgramLinks.h"
#include "sim/SimProgram.h"

namespace sim {

class CVoiceController : public CSimProgram {
public:
    CVoiceController();
    ~CVoiceController() override;

    // Posts a code (a spoken five-digit command or a notice) with its value
    // to the unit; false when the controller does not run or the unit has
    // no main window.
    bool Speak(DWORD code, LPARAM value = 0);

    // The last mode value the unit reported (0 before any).
    int Mode() const;
    bool Listening() const;

protected:
    void OnStart() override;
    LRESULT OnCommand(ULONG_PTR data, const std::vector<std::uint8_t>& bytes) override;

private:
    void Report(VoiceNotice notice);

    mutable std::mutex m_stateLock;
    int m_mode = 0;
    bool m_listening = false;
};

} // namespace sim
