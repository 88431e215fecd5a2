// The board a unit runs on: the micom "NEC1:" (its status block kept in
// board/NEC1.state under the unit root), the audio processor "ASP1:", the
// connection status "CST1:", the remote control "RMT1:" and the DMB module
// "DMB1:", the GPS receiver on "COM4:" and the display driver's escapes,
// registered with the platform; the navigation program and the voice
// controller, installed to start from a card that holds them; and the
// board console's side: the
// control command "board", which takes the console's words (see
// BoardCommand.h), works the board's inputs and answers.
//
// The board starts as a car on a desk: ACC on, drive gear, tail lamps off,
// park brake applied, no cards.
#pragma once

#include "platform/base/Debug.h"
#include "sim/AudioProcessor.h"
#include "sim/BoardCommand.h"
#include "sim/ConnectionStatus.h"
#include "sim/Display.h"
#include "sim/GpsReceiver.h"
#include "sim/Micom.h"
#include "sim/NaviProgram.h"
#include "sim/RemoteControl.h"
#include "sim/VoiceController.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace sim {

class CBoard {
public:
    // While the reverse gear is in, the rear camera's picture is on this
    // video plane (above the planes of the unit's own videos).
    static constexpr int kCameraPlane = 7;

    // Installs the devices under the unit root open now (UnitRoot()).
    // followLog: keep the debug output for the console's log command, from
    // its first use on (the output still goes where it went).
    explicit CBoard(bool followLog = false);
    ~CBoard();
    CBoard(const CBoard&) = delete;
    CBoard& operator=(const CBoard&) = delete;

    // Registers the control command "board" (the board must outlive it:
    // Stop, or the destructor, removes it).
    void ServeConsole();
    void StopConsole();

    // Runs one console command; the reply starts with "OK" or "ERR".
    std::string Run(const std::vector<std::string>& words);

    CMicom& Micom() { return *m_micom; }
    CAudioProcessor& Audio() { return *m_audio; }
    CConnectionStatus& Connection() { return *m_connection; }
    CRemoteControl& Remote() { return *m_remote; }
    CGpsReceiver& Gps() { return *m_gps; }
    CDisplay& Display() { return *m_display; }
    CNaviProgram& Navi() { return *m_navi; }
    CVoiceController& Voice() { return *m_voice; }

    // The host folder of a card's drive under the unit root.
    static std::string CardFolder(BoardCard card);

private:
    std::string Execute(const BoardCommand& command);
    std::string Status();
    std::string CardInsert(BoardCard card, const std::string& folder, bool withNavi);
    std::string CardRemove(BoardCard card);
    void SetCard(BoardCard card, bool in);
    std::string Calls(const std::string& driver);
    std::string Posts();

    std::shared_ptr<CMicom> m_micom;
    std::shared_ptr<CAudioProcessor> m_audio;
    std::shared_ptr<CConnectionStatus> m_connection;
    std::shared_ptr<CRemoteControl> m_remote;
    std::shared_ptr<CGpsReceiver> m_gps;
    std::shared_ptr<CDisplay> m_display;
    std::unique_ptr<CNaviProgram> m_navi;
    std::unique_ptr<CVoiceController> m_voice;
    bool m_followLog = false;
    std::unique_ptr<platform::DebugCapture> m_log;
    std::string m_pendingLog; // taken from the capture, not yet handed out
    std::mutex m_runLock;     // one console command at a time
    bool m_serving = false;
};

} // namespace sim
