#include "sim/Display.h"

#include "platform/gfx/Gdi.h"

#include <cstring>

namespace sim {
namespace {

int Word(const void* in)
{
    int value = 0;
    std::memcpy(&value, in, sizeof(value));
    return value;
}

} // namespace

std::shared_ptr<CDisplay> CDisplay::Install()
{
    auto display = std::make_shared<CDisplay>();
    platform::SetDisplayEscapeHandler(
        [display](int code, const void* in, int inSize, void*, int) { return display->Escape(code, in, inSize); });
    return display;
}

void CDisplay::Uninstall()
{
    platform::SetDisplayEscapeHandler(nullptr);
}

int CDisplay::Escape(int code, const void* in, int inSize)
{
    std::lock_guard<std::mutex> guard(m_lock);
    Call call;
    call.code = code;
    if (in && inSize > 0)
        call.input.assign(static_cast<const unsigned char*>(in), static_cast<const unsigned char*>(in) + inSize);
    const auto sized = [&](int size) { return in && inSize == size; };
    int result = -1;
    switch (static_cast<DisplayEscape>(code)) {
    case DisplayEscape::GateUiLayer:
        // 0 announces the menu's EGL set-up and changes nothing.
        if (sized(4) && (Word(in) == 0 || Word(in) == 2 || Word(in) == 3)) {
            if (Word(in) != 0)
                m_gateUiLayer = Word(in) == 2;
            result = 1;
        }
        break;
    case DisplayEscape::Settings:
        if (sized(kDisplaySettingsSize)) {
            m_settings = call.input;
            result = 1;
        }
        break;
    case DisplayEscape::Brightness:
        if (sized(4) && Word(in) >= 0) {
            m_brightness = Word(in);
            result = 1;
        }
        break;
    case DisplayEscape::DayMode:
        if (sized(4) && (Word(in) == 0 || Word(in) == 1)) {
            m_dayMode = Word(in);
            result = 1;
        }
        break;
    default:
        result = 0;
        break;
    }
    call.result = result;
    m_calls.push_back(std::move(call));
    return result;
}

std::vector<CDisplay::Call> CDisplay::Calls() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_calls;
}

bool CDisplay::GateUiLayerEnabled() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_gateUiLayer;
}

std::vector<unsigned char> CDisplay::Settings() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_settings;
}

int CDisplay::Brightness() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_brightness;
}

int CDisplay::DayMode() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_dayMode;
}

} // namespace sim
