#include "sim/VoiceController.h"

#include <cstring>

namespace sim {

CVoiceController::CVoiceController() : CSimProgram(kVoiceProgramPath, kVoiceWindowTitle, false) {}

CVoiceController::~CVoiceController()
{
    Stop();
}

bool CVoiceController::Speak(DWORD code, LPARAM value)
{
    return IsRunning() && PostToUnit(kVoiceMessageName, code, value);
}

void CVoiceController::Report(VoiceNotice notice)
{
    PostToUnit(kVoiceMessageName, static_cast<WPARAM>(notice), 0);
}

int CVoiceController::Mode() const
{
    std::lock_guard<std::mutex> lock(m_stateLock);
    return m_mode;
}

bool CVoiceController::Listening() const
{
    std::lock_guard<std::mutex> lock(m_stateLock);
    return m_listening;
}

void CVoiceController::OnStart()
{
    {
        std::lock_guard<std::mutex> lock(m_stateLock);
        m_mode = 0;
        m_listening = false;
    }
    Report(VoiceNotice::Ready);
}

LRESULT CVoiceController::OnCommand(ULONG_PTR data, const std::vector<std::uint8_t>& bytes)
{
    switch (static_cast<VoiceCommand>(data)) {
    case VoiceCommand::ExternalMode: {
        // The mode is a 32-bit value; anything shorter is refused.
        if (bytes.size() < 4)
            return 0;
        std::int32_t mode = 0;
        std::memcpy(&mode, bytes.data(), 4);
        std::lock_guard<std::mutex> lock(m_stateLock);
        m_mode = mode;
        return 1;
    }
    case VoiceCommand::RecognitionStart: {
        std::lock_guard<std::mutex> lock(m_stateLock);
        m_listening = true;
    }
        Report(VoiceNotice::Show);
        Report(VoiceNotice::Active);
        return 1;
    case VoiceCommand::RecognitionStop: {
        std::lock_guard<std::mutex> lock(m_stateLock);
        m_listening = false;
    }
        Report(VoiceNotice::Inactive);
        Report(VoiceNotice::Hide);
        return 1;
    case VoiceCommand::MicMute:
        return bytes.size() >= 4 ? 1 : 0;
    }
    return 0;
}

} // namespace sim
