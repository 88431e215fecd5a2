// The DMB module behind the driver "DMB1:", as its firmware loader sees the
// SPI link: each write is one command frame, each read the response to the
// last one (DmbDriver.h). So far the loader side: readied by the driver's
// control call, rebooted into its loader, told the image size, given the
// image in 12-byte blocks (each checked against its checksum word; a block
// sent again with the same sequence number is answered without being stored
// twice), then asked to check the image and
// to write it into its flash.
//
// Tests make it misbehave: the next responses to a command with a wrong
// sequence number, id or type, not at all (silence: the read times out), or
// as if the frame had been garbled on the way (refused, nothing stored);
// and an image check that reports the image bad.
#pragma once

#include "platform/base/Types.h"
#include "platform/io/Device.h"
#include "platform/io/DmbDriver.h"

#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace sim {

class CDmbModule : public platform::Device {
public:
    static constexpr DWORD kLoaderVersion = 0xF0000102;
    static constexpr DWORD kCapacity = 4u << 20;

    enum class Mode { Application, Ready, Loader };
    enum class Fault { WrongSequence, WrongId, WrongType, Silence, Garbled };

    static std::shared_ptr<CDmbModule> Install();
    static void Uninstall();

    bool Open(DWORD access, DWORD share) override;
    BOOL IoControl(DWORD code, const BYTE* in, DWORD inSize, BYTE* out, DWORD outSize, DWORD* returned) override;
    BOOL Read(BYTE* buffer, DWORD size, DWORD* read) override;
    BOOL Write(const BYTE* data, DWORD size, DWORD* written) override;
    void Close() override;

    // The next count responses to the command carry the fault.
    void Misbehave(DmbCommand command, Fault fault, int count);
    // The image check reports the image bad while set.
    void FailImageCheck(bool fail);

    Mode CurrentMode() const;
    // The bytes received for the image announced (at most its size).
    std::vector<BYTE> ReceivedImage() const;
    // The firmware in the module's flash (empty until an image was written).
    std::vector<BYTE> Flash() const;
    // Frames received by command id, resends included.
    int FramesOf(DmbCommand command) const;
    // Data frames received again after they had been stored.
    int Duplicates() const;
    int OpenHandles() const;

private:
    void Answer(const DmbFrameWord& command, const std::vector<BYTE>& frame);
    bool Faulted(DmbCommand command, Fault* fault);
    // The response: the command word with the type, then the payload.
    void Respond(const DmbFrameWord& command, DmbFrameType type, std::vector<DWORD> payload = {});
    bool TakeData(const DmbFrameWord& command, const std::vector<BYTE>& frame);

    mutable std::mutex m_lock;
    Mode m_mode = Mode::Application;
    std::vector<BYTE> m_pending;
    bool m_hasPending = false;
    BYTE m_lastSequence = 0;
    std::vector<BYTE> m_lastFrame;
    DWORD m_size = 0;
    std::vector<BYTE> m_image;
    bool m_checked = false;
    bool m_failCheck = false;
    std::vector<BYTE> m_flash;
    std::map<BYTE, std::vector<Fault>> m_faults; // by command id, front first
    std::map<BYTE, int> m_frames;
    int m_duplicates = 0;
    int m_open = 0;
};

} // namespace sim
