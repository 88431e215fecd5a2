#include "sim/BluetoothModule.h"

#include "platform/base/Clock.h"

#include <algorithm>
#include <cstring>

namespace sim {

namespace {

constexpr BYTE kWakeUp[] = {0x01, 0xCD, 0xFF, 0xCD, 0x01, 0x7A};
constexpr BYTE kReady[] = {0xCD, 0x02, 0xD4, 0x00};
constexpr BYTE kTag[] = {0xCD, 0x01, 0xE0, 0x7A};
constexpr BYTE kStatusOk[] = {0x04, 0x0F, 0x04, 0x00};

// H4.
constexpr BYTE kH4Command = 0x01;
constexpr BYTE kH4Event = 0x04;
constexpr WORD kVendorOpcode = 0xFC00;
constexpr BYTE kVendorTag = 0xCC;

// BCSP.
constexpr BYTE kEnd = 0xC0;
constexpr BYTE kEsc = 0xDB;
constexpr BYTE kEscEnd = 0xDC;
constexpr BYTE kEscEsc = 0xDD;
constexpr BYTE kChannelAck = 0;
constexpr BYTE kChannelLink = 1;
constexpr BYTE kChannelDfu = 12;
constexpr std::size_t kMaxFrame = 4 + 4095 + 2;

enum LinkMessage { kSync, kSyncResponse, kConf, kConfResponse };
constexpr BYTE kLinkPayloads[4][4] = {
    {0xDA, 0xDC, 0xED, 0xED},
    {0xAC, 0xAF, 0xEF, 0xEE},
    {0xAD, 0xEF, 0xAC, 0xED},
    {0xDE, 0xAD, 0xD0, 0xD0},
};

// DFU 1.1.
constexpr BYTE kDfuIdle = 2;
constexpr BYTE kDnloadSync = 3;
constexpr BYTE kDnBusy = 4;
constexpr BYTE kDnloadIdle = 5;
constexpr BYTE kManifestSync = 6;
constexpr BYTE kManifest = 7;
constexpr BYTE kDfuError = 10;
constexpr BYTE kErrWrite = 0x03;
constexpr BYTE kErrAddress = 0x08;
constexpr BYTE kErrStalledPacket = 0x0F;
constexpr BYTE kDfuDnload = 1;
constexpr BYTE kDfuGetStatus = 3;
constexpr BYTE kDfuClrStatus = 4;

std::uint16_t Crc(const BYTE* data, std::size_t size)
{
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < size; ++i) {
        BYTE b = data[i];
        BYTE reversed = 0;
        for (int bit = 0; bit < 8; ++bit)
            reversed = static_cast<BYTE>(reversed | ((b >> bit) & 1) << (7 - bit));
        crc ^= static_cast<std::uint16_t>(reversed << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<std::uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

std::vector<BYTE> Frame(const std::vector<BYTE>& packet)
{
    std::vector<BYTE> frame{kEnd};
    for (BYTE b : packet) {
        if (b == kEnd) {
            frame.push_back(kEsc);
            frame.push_back(kEscEnd);
        } else if (b == kEsc) {
            frame.push_back(kEsc);
            frame.push_back(kEscEsc);
        } else {
            frame.push_back(b);
        }
    }
    frame.push_back(kEnd);
    return frame;
}

WORD Word(const BYTE* p)
{
    return static_cast<WORD>(p[0] | p[1] << 8);
}

} // namespace

CBluetoothModule::CBluetoothModule() = default;

CBluetoothModule::~CBluetoothModule()
{
    {
        std::lock_guard guard(m_lock);
        m_stopThread = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

std::shared_ptr<CBluetoothModule> CBluetoothModule::Install(LPCWSTR port)
{
    auto module = std::make_shared<CBluetoothModule>();
    platform::RegisterSerialPeer(port, module);
    return module;
}

void CBluetoothModule::Uninstall(LPCWSTR port)
{
    platform::RegisterSerialPeer(port, nullptr);
}

// ---- the line ----

void CBluetoothModule::OnOpen()
{
    std::lock_guard guard(m_lock);
    ++m_opens;
    if (m_thread.joinable())
        return;
    m_stopThread = false;
    m_thread = std::thread([this] { Run(); });
}

void CBluetoothModule::OnClose()
{
    {
        std::lock_guard guard(m_lock);
        m_stopThread = true;
        m_delayed.clear();
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void CBluetoothModule::OnStateChange(const DCB& dcb)
{
    std::lock_guard guard(m_lock);
    if (dcb.Parity != m_parity)
        ++m_parityChanges;
    m_baud = dcb.BaudRate;
    m_parity = dcb.Parity;
    if (!m_silent && m_stage == Stage::Loader && m_link == LinkState::Shy && LineIsRight()) {
        // The loader speaks as soon as the line suits it.
        SendLink(kSync);
        m_linkRepeatAt = platform::NowMs() + kLinkRepeatMs;
    }
}

bool CBluetoothModule::LineIsRight() const
{
    const BYTE parity = m_stage == Stage::Loader ? EVENPARITY : NOPARITY;
    return m_baud == CBR_115200 && m_parity == parity;
}

void CBluetoothModule::Run()
{
    std::unique_lock lock(m_lock);
    while (!m_stopThread) {
        platform::WaitUntilMs(m_wake, lock, platform::NowMs() + 5, [this] { return m_stopThread; });
        if (!m_stopThread)
            Tick();
    }
}

void CBluetoothModule::Tick()
{
    const std::uint64_t now = platform::NowMs();
    while (!m_delayed.empty() && m_delayed.front().due <= now) {
        Emit(m_delayed.front().bytes);
        m_delayed.pop_front();
    }
    if (m_silent || m_stage != Stage::Loader || !LineIsRight())
        return;
    if (m_link != LinkState::Garrulous && now >= m_linkRepeatAt) {
        SendLink(m_link == LinkState::Shy ? kSync : kConf);
        m_linkRepeatAt = now + kLinkRepeatMs;
    }
    if (m_unacknowledged && now - m_sentAt >= kRetransmitMs) {
        ++m_retransmissions;
        SendReliable();
    }
}

void CBluetoothModule::Emit(const std::vector<BYTE>& bytes)
{
    Send(bytes.data(), bytes.size());
}

void CBluetoothModule::OnReceive(const BYTE* data, std::size_t size)
{
    std::lock_guard guard(m_lock);
    if (m_silent || !LineIsRight())
        return; // asleep to the world, or bytes garbled by the wrong settings
    if (m_stage == Stage::Loader) {
        for (std::size_t i = 0; i < size && !m_silent; ++i)
            TakeBcspByte(data[i]);
        return;
    }
    if (m_stage == Stage::Finished)
        return;
    m_h4.insert(m_h4.end(), data, data + size);
    TakeH4();
}

// ---- wake-up and H4 ----

void CBluetoothModule::TakeH4()
{
    while (!m_h4.empty() && !m_silent) {
        if (m_h4[0] == kWakeUp[0] && (m_h4.size() < 2 || m_h4[1] == kWakeUp[1])) {
            if (m_h4.size() < sizeof kWakeUp)
                return;
            if (std::equal(kWakeUp, kWakeUp + sizeof kWakeUp, m_h4.begin()))
                Wake();
            else
                ++m_refused;
            m_h4.erase(m_h4.begin(), m_h4.begin() + sizeof kWakeUp);
            continue;
        }
        if (m_h4[0] != kH4Command) {
            ++m_refused;
            m_h4.erase(m_h4.begin());
            continue;
        }
        if (m_h4.size() < 4 || m_h4.size() < 4u + m_h4[3])
            return;
        const std::size_t length = m_h4[3];
        const std::vector<BYTE> command(m_h4.begin(), m_h4.begin() + 4 + static_cast<std::ptrdiff_t>(length));
        m_h4.erase(m_h4.begin(), m_h4.begin() + static_cast<std::ptrdiff_t>(command.size()));
        if (m_stage != Stage::Asleep && Word(&command[1]) == kVendorOpcode)
            HandleH4Command(command.data() + 4, length);
        else
            ++m_refused;
    }
}

void CBluetoothModule::Wake()
{
    std::vector<BYTE> answer;
    switch (m_wakeAnswer) {
    case WakeAnswer::Ready:
        answer.assign(kReady, kReady + 4);
        break;
    case WakeAnswer::TaggedReady:
        answer.assign(kTag, kTag + 4);
        answer.insert(answer.end(), kReady, kReady + 4);
        break;
    case WakeAnswer::TaggedStatus:
        answer.assign(kTag, kTag + 4);
        answer.insert(answer.end(), kStatusOk, kStatusOk + 4);
        break;
    case WakeAnswer::Split:
        answer.assign(kTag, kTag + 4);
        m_delayed.push_back({platform::NowMs() + kSplitAnswerMs, std::vector<BYTE>(kStatusOk, kStatusOk + 4)});
        break;
    }
    Emit(answer);
    if (m_stage == Stage::Asleep)
        EnterStage(Stage::Awake);
}

void CBluetoothModule::EnterStage(Stage stage)
{
    m_stage = stage;
    if (stage == m_silenceAt)
        m_silent = true;
}

void CBluetoothModule::SendH4(std::vector<BYTE> bytes)
{
    Emit(bytes);
}

void CBluetoothModule::HandleH4Command(const BYTE* params, std::size_t size)
{
    // A command status: 0 when taken, 1 when refused.
    const auto status = [this](BYTE result) { SendH4({kH4Event, 0x0F, 4, result, 1, 0x00, 0xFC}); };
    if (size != 9 || params[0] != kVendorTag) {
        status(1);
        return;
    }
    std::array<BYTE, 8> setup;
    std::copy_n(params + 1, 8, setup.begin());
    m_h4Requests.push_back(setup);
    const BYTE type = setup[0];
    const BYTE request = setup[1];
    if (type == 0xC1 && (request == 8 || request == 9)) {
        // The module's identity: 12 bytes after the request it answers.
        std::vector<BYTE> event = {kH4Event, 0xFF, 1 + 8 + 12, kVendorTag};
        event.insert(event.end(), setup.begin(), setup.end());
        for (BYTE i = 0; i < 12; ++i)
            event.push_back(static_cast<BYTE>(request * 16 + i));
        SendH4(event);
    } else if (type == 0x21 && request == 0 && m_stage == Stage::Awake) {
        status(0);
        EnterStage(Stage::Detached);
    } else if (type == 0x41 && request == 7 && m_stage == Stage::Detached) {
        status(0);
        // The loader starts and waits for the line at even parity.
        EnterStage(Stage::Loader);
        m_h4.clear();
        m_link = LinkState::Shy;
        m_linkRepeatAt = platform::NowMs();
    } else {
        status(1);
    }
}

// ---- BCSP ----

void CBluetoothModule::TakeBcspByte(BYTE byte)
{
    if (!m_inFrame) {
        if (byte == kEnd) {
            m_inFrame = true;
            m_frame.clear();
            m_frameBad = false;
        }
        return;
    }
    if (m_escape) {
        m_escape = false;
        if (byte == kEscEnd || byte == kEscEsc) {
            byte = byte == kEscEnd ? kEnd : kEsc;
        } else {
            m_frameBad = true;
            return;
        }
    } else if (byte == kEnd) {
        if (!m_frame.empty() || m_frameBad)
            HandleFrame();
        m_frame.clear();
        m_frameBad = false;
        return;
    } else if (byte == kEsc) {
        m_escape = true;
        return;
    }
    if (m_frame.size() < kMaxFrame)
        m_frame.push_back(byte);
    else
        m_frameBad = true;
}

void CBluetoothModule::HandleFrame()
{
    const std::vector<BYTE>& f = m_frame;
    if (m_frameBad || f.size() < 4 || static_cast<BYTE>(f[0] + f[1] + f[2] + f[3]) != 0xFF) {
        ++m_refused;
        return;
    }
    const bool crc = f[0] & 0x40;
    const std::size_t length = (f[1] >> 4) | (f[2] << 4);
    if (f.size() != 4 + length + (crc ? 2 : 0)
        || (crc && Crc(f.data(), 4 + length) != (f[4 + length] << 8 | f[4 + length + 1]))) {
        ++m_refused;
        return;
    }
    if (m_faults.dropReceived && ++m_received % m_faults.dropReceived == 0)
        return;
    const BYTE sequence = f[0] & 7;
    const BYTE ack = (f[0] >> 3) & 7;
    const bool reliable = f[0] & 0x80;
    const BYTE channel = f[1] & 0x0F;
    const BYTE* payload = f.data() + 4;

    if (channel == kChannelLink && !reliable && length == 4) {
        for (int m = 0; m < 4; ++m) {
            if (std::memcmp(payload, kLinkPayloads[m], 4) == 0) {
                HandleLink(m);
                return;
            }
        }
    }
    if (m_link != LinkState::Garrulous) {
        ++m_refused; // no data before the link is up
        return;
    }
    if (m_unacknowledged && ack == (m_outstandingSequence + 1) % 8)
        m_unacknowledged = false;
    if (!reliable)
        return;
    if (sequence != m_rxExpected) {
        ++m_duplicates;
        SendAck();
        return;
    }
    m_rxExpected = (m_rxExpected + 1) % 8;
    SendAck();
    if (channel == kChannelDfu && length >= 8)
        HandleDfu(payload, length);
}

void CBluetoothModule::HandleLink(int message)
{
    switch (message) {
    case kSync:
        SendLink(kSyncResponse);
        break;
    case kSyncResponse:
        if (m_link == LinkState::Shy) {
            m_link = LinkState::Curious;
            SendLink(kConf);
            m_linkRepeatAt = platform::NowMs() + kLinkRepeatMs;
        }
        break;
    case kConf:
        if (m_link != LinkState::Shy)
            SendLink(kConfResponse);
        break;
    case kConfResponse:
        if (m_link == LinkState::Curious)
            m_link = LinkState::Garrulous;
        break;
    }
}

void CBluetoothModule::HandleDfu(const BYTE* payload, std::size_t size)
{
    const BYTE* setup = payload;
    const BYTE type = setup[0];
    const BYTE request = setup[1];
    const WORD value = Word(setup + 2);
    const WORD length = Word(setup + 6);
    const BYTE* data = payload + 8;
    const std::size_t dataSize = size - 8;
    m_dfuRequests.push_back(request);
    const auto fail = [this](BYTE status) {
        m_state = kDfuError;
        m_status = status;
    };
    std::vector<BYTE> answer;

    if (type == 0xC1 && request == 8) {
        for (BYTE i = 0; i < 12; ++i)
            answer.push_back(static_cast<BYTE>(0xB0 + i));
    } else if (type == 0xC1 && request == 9) {
        answer = {static_cast<BYTE>(m_transferSize), static_cast<BYTE>(m_transferSize >> 8), 0, 0, 0, 0};
    } else if (type == 0xA1 && request == kDfuGetStatus) {
        switch (m_state) {
        case kDnloadSync:
            m_state = m_busyLeft > 0 ? kDnBusy : kDnloadIdle;
            break;
        case kDnBusy:
            if (--m_busyLeft <= 0)
                m_state = kDnloadIdle;
            break;
        case kManifestSync:
            m_state = kManifest;
            break;
        case kManifest:
            m_state = m_image.empty() ? kDfuError : kDfuIdle;
            break;
        default:
            break;
        }
        // This module's status record puts the state first.
        answer = {m_state, m_status, 0, 0, 0, 0};
    } else if (type == 0x21 && request == kDfuDnload && length > 0) {
        if ((m_state != kDfuIdle && m_state != kDnloadIdle) || length != dataSize || length > m_transferSize) {
            fail(kErrStalledPacket);
        } else if (value != m_nextBlock) {
            fail(kErrAddress);
        } else if (value == m_failBlock && m_failTimes > 0) {
            --m_failTimes;
            fail(kErrWrite);
        } else {
            m_image.insert(m_image.end(), data, data + dataSize);
            ++m_nextBlock;
            m_state = kDnloadSync;
            m_busyLeft = m_busyPolls;
            if (static_cast<int>(value) == m_silenceAfterBlock)
                m_silent = true;
        }
    } else if (type == 0x21 && request == kDfuDnload) {
        if (m_state == kDnloadIdle)
            m_state = kManifestSync;
        else
            fail(kErrStalledPacket);
    } else if ((type == 0x0F || type == 0x21) && request == kDfuClrStatus) {
        m_state = kDfuIdle;
        m_status = 0;
    } else if (type == 0x41 && request == 7 && m_state == kDfuIdle && m_nextBlock > 0) {
        // The unit ends the download: the module restarts on its new
        // firmware once this answer is out.
        m_finished = true;
    } else {
        fail(kErrStalledPacket);
    }
    if (m_silent)
        return;
    SendResponse(setup, answer);
}

void CBluetoothModule::SendLink(int message)
{
    SendPacket(kChannelLink, false, 0, kLinkPayloads[message], 4);
}

void CBluetoothModule::SendAck()
{
    SendPacket(kChannelAck, false, 0, nullptr, 0);
}

void CBluetoothModule::SendResponse(const BYTE* setup, const std::vector<BYTE>& data)
{
    m_outstanding.assign(setup, setup + 8);
    m_outstanding[6] = static_cast<BYTE>(data.size());
    m_outstanding[7] = static_cast<BYTE>(data.size() >> 8);
    m_outstanding.insert(m_outstanding.end(), data.begin(), data.end());
    m_outstandingSequence = m_txSequence;
    m_txSequence = (m_txSequence + 1) % 8;
    m_unacknowledged = true;
    SendReliable();
}

void CBluetoothModule::SendReliable()
{
    m_sentAt = platform::NowMs();
    SendPacket(kChannelDfu, true, m_outstandingSequence, m_outstanding.data(), m_outstanding.size());
}

void CBluetoothModule::SendPacket(BYTE channel, bool reliable, BYTE sequence, const BYTE* payload, std::size_t size)
{
    std::vector<BYTE> packet(4);
    packet[0] = static_cast<BYTE>(sequence | m_rxExpected << 3 | 0x40 | (reliable ? 0x80 : 0));
    packet[1] = static_cast<BYTE>(channel | (size & 0x0F) << 4);
    packet[2] = static_cast<BYTE>(size >> 4);
    packet[3] = static_cast<BYTE>(0xFF - ((packet[0] + packet[1] + packet[2]) & 0xFF));
    if (size)
        packet.insert(packet.end(), payload, payload + size);
    const std::uint16_t crc = Crc(packet.data(), packet.size());
    packet.push_back(static_cast<BYTE>(crc >> 8));
    packet.push_back(static_cast<BYTE>(crc));
    SendFrame(Frame(packet), true);
}

void CBluetoothModule::SendFrame(std::vector<BYTE> frame, bool faults)
{
    if (faults) {
        ++m_sent;
        if (m_faults.dropSent && m_sent % m_faults.dropSent == 0)
            return;
        if (m_faults.corruptSent && m_sent % m_faults.corruptSent == 0)
            frame[frame.size() / 2] ^= 0x10;
        if (m_faults.delaySent && m_sent % m_faults.delaySent == 0) {
            m_delayed.push_back({platform::NowMs() + m_faults.delayMs, std::move(frame)});
            return;
        }
    }
    Emit(frame);
}

// ---- set-up and records ----

void CBluetoothModule::SetWakeAnswer(WakeAnswer answer)
{
    std::lock_guard guard(m_lock);
    m_wakeAnswer = answer;
}

void CBluetoothModule::SetTransferSize(WORD size)
{
    std::lock_guard guard(m_lock);
    m_transferSize = size;
}

void CBluetoothModule::SetFaults(const Faults& faults)
{
    std::lock_guard guard(m_lock);
    m_faults = faults;
}

void CBluetoothModule::SetSilent(bool silent)
{
    std::lock_guard guard(m_lock);
    m_silent = silent;
}

void CBluetoothModule::SilenceAt(Stage stage)
{
    std::lock_guard guard(m_lock);
    m_silenceAt = stage;
}

int CBluetoothModule::Opens() const
{
    std::lock_guard guard(m_lock);
    return m_opens;
}

void CBluetoothModule::SilenceAfterBlock(int block)
{
    std::lock_guard guard(m_lock);
    m_silenceAfterBlock = block;
}

void CBluetoothModule::FailBlock(int block, int times)
{
    std::lock_guard guard(m_lock);
    m_failBlock = block;
    m_failTimes = times;
}

void CBluetoothModule::SetBusyPolls(int polls)
{
    std::lock_guard guard(m_lock);
    m_busyPolls = polls;
}

CBluetoothModule::Stage CBluetoothModule::CurrentStage() const
{
    std::lock_guard guard(m_lock);
    return m_finished ? Stage::Finished : m_stage;
}

std::vector<BYTE> CBluetoothModule::Image() const
{
    std::lock_guard guard(m_lock);
    return m_image;
}

bool CBluetoothModule::Finished() const
{
    std::lock_guard guard(m_lock);
    return m_finished;
}

std::vector<BYTE> CBluetoothModule::DfuRequests() const
{
    std::lock_guard guard(m_lock);
    return m_dfuRequests;
}

std::vector<std::array<BYTE, 8>> CBluetoothModule::H4Requests() const
{
    std::lock_guard guard(m_lock);
    return m_h4Requests;
}

int CBluetoothModule::DuplicatesReceived() const
{
    std::lock_guard guard(m_lock);
    return m_duplicates;
}

int CBluetoothModule::Retransmissions() const
{
    std::lock_guard guard(m_lock);
    return m_retransmissions;
}

int CBluetoothModule::FramesRefused() const
{
    std::lock_guard guard(m_lock);
    return m_refused;
}

BYTE CBluetoothModule::LineParity() const
{
    std::lock_guard guard(m_lock);
    return m_parity;
}

int CBluetoothModule::ParityChanges() const
{
    std::lock_guard guard(m_lock);
    return m_parityChanges;
}

} // namespace sim
