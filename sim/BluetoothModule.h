// The Bluetooth module on "COM3:", as far as its firmware download goes: it
// wakes up on the wake-up bytes, answers the H4 vendor commands with
// events, and after the last of them runs its DFU loader, which speaks BCSP
// (SLIP framing, header checksum, CRC, link establishment with sync and
// conf, reliable packets acknowledged and sent again when they are not) at
// 115200 baud with even parity and serves the USB DFU 1.1 requests on
// channel 12 until the unit ends the download. Bytes sent on the wrong line
// settings are lost, as on the wire.
//
// A test can make it drop, corrupt or delay BCSP packets, fall silent, enter
// dfuERROR when a given block arrives, answer the wake-up in each of its
// forms and report any transfer size; it records what it was asked and the
// image it received. Its timers (link-establishment repeats, packets sent
// again, delayed packets) run on the platform clock on a thread of its own
// while the port is open.
#pragma once

#include "platform/base/Types.h"
#include "platform/io/Serial.h"

#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace sim {

class CBluetoothModule : public platform::SerialPeer {
public:
    // How the module answers the wake-up bytes.
    enum class WakeAnswer {
        Ready,        // CD 02 D4 00
        TaggedReady,  // CD 01 E0 7A CD 02 D4 00
        TaggedStatus, // CD 01 E0 7A 04 0F 04 00
        Split,        // CD 01 E0 7A, and 04 0F 04 00 a little later
    };

    // Faults on the BCSP packets: every Nth one (0: never) the module
    // receives is lost, or every Nth one it sends is lost, damaged in one
    // byte, or held back for delayMs.
    struct Faults {
        int dropReceived = 0;
        int dropSent = 0;
        int corruptSent = 0;
        int delaySent = 0;
        DWORD delayMs = 0;
    };

    // Where the download stands, as the module sees it.
    enum class Stage {
        Asleep,
        Awake,    // answers H4 vendor commands
        Detached, // DFU_DETACH taken; the next vendor command starts the loader
        Loader,   // BCSP and DFU
        Finished, // the unit ended the download; the new firmware runs
    };

    static constexpr DWORD kLinkRepeatMs = 250;
    static constexpr DWORD kRetransmitMs = 250;
    static constexpr DWORD kSplitAnswerMs = 150; // later than the unit's first look
    static constexpr WORD kDefaultTransferSize = 1023;

    CBluetoothModule();
    ~CBluetoothModule() override;

    // Registers a new module under the port and returns it.
    static std::shared_ptr<CBluetoothModule> Install(LPCWSTR port = u"COM3:");
    static void Uninstall(LPCWSTR port = u"COM3:");

    void OnOpen() override;
    void OnReceive(const BYTE* data, std::size_t size) override;
    void OnClose() override;
    void OnStateChange(const DCB& dcb) override;

    // ---- set-up and faults ----
    void SetWakeAnswer(WakeAnswer answer);
    void SetTransferSize(WORD size);
    void SetFaults(const Faults& faults);
    // A silent module takes no notice of anything.
    void SetSilent(bool silent);
    // Falls silent once it has reached the stage (after its answer that
    // took it there), or once the data block with this number has arrived.
    void SilenceAt(Stage stage);
    void SilenceAfterBlock(int block);
    // The next `times` arrivals of the block put the module in dfuERROR
    // (errWRITE) instead of storing it.
    void FailBlock(int block, int times = 1);
    // GETSTATUS answers dfuDNBUSY this many times after each block.
    void SetBusyPolls(int polls);

    // ---- what happened ----
    Stage CurrentStage() const;
    int Opens() const;
    // The image as the blocks arrived, and whether the unit ended the
    // download.
    std::vector<BYTE> Image() const;
    bool Finished() const;
    // The bRequest of every DFU request taken over BCSP, in order (packets
    // sent again are counted once).
    std::vector<BYTE> DfuRequests() const;
    // The setup packets of the H4 vendor commands, in order.
    std::vector<std::array<BYTE, 8>> H4Requests() const;
    // Reliable packets that came again although they had been taken.
    int DuplicatesReceived() const;
    // Packets the module sent again because the unit did not acknowledge
    // them.
    int Retransmissions() const;
    int FramesRefused() const; // damaged or unusable frames
    BYTE LineParity() const;
    int ParityChanges() const;

private:
    enum class LinkState {
        Shy,      // sends sync until a sync-response comes
        Curious,  // sends conf until a conf-response comes
        Garrulous // link up
    };

    void Run();
    void Tick();
    bool LineIsRight() const;
    void TakeH4();
    void Wake();
    void EnterStage(Stage stage);
    void HandleH4Command(const BYTE* params, std::size_t size);
    void SendH4(std::vector<BYTE> bytes);

    void TakeBcspByte(BYTE byte);
    void HandleFrame();
    void HandleLink(int message);
    void HandleDfu(const BYTE* payload, std::size_t size);
    void SendLink(int message);
    void SendAck();
    void SendResponse(const BYTE* setup, const std::vector<BYTE>& data);
    void SendReliable();
    void SendPacket(BYTE channel, bool reliable, BYTE sequence, const BYTE* payload, std::size_t size);
    void SendFrame(std::vector<BYTE> frame, bool faults);
    void Emit(const std::vector<BYTE>& bytes);

    mutable std::mutex m_lock;
    std::condition_variable_any m_wake;
    std::thread m_thread;
    bool m_stopThread = false;

    // Set-up.
    WakeAnswer m_wakeAnswer = WakeAnswer::Ready;
    WORD m_transferSize = kDefaultTransferSize;
    Faults m_faults;
    bool m_silent = false;
    int m_silenceAfterBlock = -1;
    Stage m_silenceAt = Stage::Asleep; // Asleep: never
    int m_failBlock = -1;
    int m_failTimes = 0;
    int m_busyPolls = 0;

    // Line.
    DWORD m_baud = 9600;
    BYTE m_parity = NOPARITY;
    int m_parityChanges = 0;
    int m_opens = 0;

    Stage m_stage = Stage::Asleep;
    std::vector<BYTE> m_h4;

    // BCSP.
    std::vector<BYTE> m_frame;
    bool m_inFrame = false;
    bool m_escape = false;
    bool m_frameBad = false;
    LinkState m_link = LinkState::Shy;
    std::uint64_t m_linkRepeatAt = 0;
    BYTE m_txSequence = 0;
    BYTE m_rxExpected = 0;
    std::vector<BYTE> m_outstanding; // payload of the response in flight
    BYTE m_outstandingSequence = 0;
    bool m_unacknowledged = false;
    std::uint64_t m_sentAt = 0;
    int m_received = 0;
    int m_sent = 0;
    struct Delayed {
        std::uint64_t due;
        std::vector<BYTE> bytes;
    };
    std::deque<Delayed> m_delayed;

    // DFU.
    BYTE m_state = 2; // dfuIDLE
    BYTE m_status = 0;
    int m_nextBlock = 0;
    int m_busyLeft = 0;
    std::vector<BYTE> m_image;
    bool m_finished = false;

    // Records.
    std::vector<BYTE> m_dfuRequests;
    std::vector<std::array<BYTE, 8>> m_h4Requests;
    int m_duplicates = 0;
    int m_retransmissions = 0;
    int m_refused = 0;
};

} // namespace sim
