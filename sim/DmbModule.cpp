#include "sim/DmbModule.h"

#include "platform/base/Error.h"
#include "platform/io/Io.h"
#include "platform/io/RawDisk.h"

#include <algorithm>

namespace sim {
namespace {

DWORD WordAt(const std::vector<BYTE>& frame, std::size_t index)
{
    return platform::GetRawWord(frame.data() + 4 * index);
}

} // namespace

std::shared_ptr<CDmbModule> CDmbModule::Install()
{
    auto module = std::make_shared<CDmbModule>();
    platform::RegisterDevice(u"DMB1:", module);
    return module;
}

void CDmbModule::Uninstall()
{
    platform::UnregisterDevice(u"DMB1:");
}

bool CDmbModule::Open(DWORD, DWORD)
{
    std::lock_guard<std::mutex> guard(m_lock);
    ++m_open;
    return true;
}

void CDmbModule::Close()
{
    std::lock_guard<std::mutex> guard(m_lock);
    --m_open;
}

BOOL CDmbModule::IoControl(DWORD code, const BYTE*, DWORD, BYTE*, DWORD, DWORD*)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (static_cast<DmbIoctl>(code) != DmbIoctl::UpgradeReady) {
        SetLastError(ERROR_INVALID_FUNCTION);
        return FALSE;
    }
    if (m_mode == Mode::Application)
        m_mode = Mode::Ready;
    return TRUE;
}

BOOL CDmbModule::Write(const BYTE* data, DWORD size, DWORD* written)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (written)
        *written = size;
    m_hasPending = false;
    // The link carries whatever it is given; the loader answers only whole
    // command frames whose count matches their length.
    if (!data || size < 4 || size % 4 != 0)
        return TRUE;
    const std::vector<BYTE> frame(data, data + size);
    const DmbFrameWord command = DmbFrameWord::FromWord(WordAt(frame, 0));
    if (command.type != static_cast<BYTE>(DmbFrameType::Command) || 4u * command.count != size - 4)
        return TRUE;
    ++m_frames[command.id];
    Answer(command, frame);
    return TRUE;
}

BOOL CDmbModule::Read(BYTE* buffer, DWORD size, DWORD* read)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (read)
        *read = 0;
    if (!m_hasPending) {
        SetLastError(ERROR_TIMEOUT);
        return FALSE;
    }
    m_hasPending = false;
    if (!buffer)
        return TRUE;
    // The link clocks out as many bytes as asked: the response, then zeros.
    std::fill(buffer, buffer + size, 0);
    std::copy_n(m_pending.begin(), std::min<std::size_t>(size, m_pending.size()), buffer);
    if (read)
        *read = size;
    return TRUE;
}

bool CDmbModule::Faulted(DmbCommand command, Fault* fault)
{
    auto it = m_faults.find(static_cast<BYTE>(command));
    if (it == m_faults.end() || it->second.empty())
        return false;
    *fault = it->second.front();
    it->second.erase(it->second.begin());
    return true;
}

void CDmbModule::Respond(const DmbFrameWord& command, DmbFrameType type, std::vector<DWORD> payload)
{
    DmbFrameWord word{static_cast<BYTE>(type), command.sequence, command.id, static_cast<WORD>(payload.size())};
    m_pending.assign(4 * (payload.size() + 1), 0);
    platform::PutRawWord(m_pending.data(), word.ToWord());
    for (std::size_t i = 0; i < payload.size(); ++i)
        platform::PutRawWord(m_pending.data() + 4 * (i + 1), payload[i]);
    m_hasPending = true;
}

void CDmbModule::Answer(const DmbFrameWord& received, const std::vector<BYTE>& frame)
{
    DmbFrameWord command = received;
    const DmbCommand id = static_cast<DmbCommand>(command.id);
    Fault fault{};
    const bool faulted = Faulted(id, &fault);
    if (faulted && fault == Fault::Silence)
        return;
    const bool garbled = faulted && fault == Fault::Garbled;

    bool good = !garbled;
    std::vector<DWORD> payload;
    if (good && m_mode == Mode::Application) {
        return; // the application does not speak the loader's protocol
    } else if (good && id == DmbCommand::Reboot) {
        m_mode = Mode::Loader;
        m_size = 0;
        m_image.clear();
        m_checked = false;
        m_lastFrame.clear();
        payload.push_back(kLoaderVersion);
    } else if (good && m_mode != Mode::Loader) {
        good = false;
    } else if (good && id == DmbCommand::ImageData) {
        good = TakeData(command, frame);
    } else if (good && id == DmbCommand::BootCheck) {
        good = command.count == 1 && WordAt(frame, 1) > 0 && WordAt(frame, 1) <= kCapacity;
        if (good) {
            m_size = WordAt(frame, 1);
            m_image.clear();
            m_checked = false;
        }
    } else if (good && id == DmbCommand::ImageCheck) {
        good = m_size > 0 && m_image.size() == m_size && !m_failCheck;
        m_checked = good;
    } else if (good && id == DmbCommand::ImageWrite) {
        good = m_checked;
        if (good) {
            m_flash = m_image;
            DWORD sum = 0;
            for (BYTE byte : m_image)
                sum += byte;
            payload = {m_size, sum, 0, 0, 0, 0, 0};
        }
    } else if (good) {
        good = false; // an id the loader does not know
    }
    if (good)
        m_lastSequence = command.sequence;

    if (faulted && fault == Fault::WrongSequence)
        command.sequence = static_cast<BYTE>((command.sequence + 1) & 0x0F);
    if (faulted && fault == Fault::WrongId)
        command.id = static_cast<BYTE>(command.id ^ 0x01);
    DmbFrameType type = good ? DmbFrameType::Response : DmbFrameType::Error;
    if (faulted && fault == Fault::WrongType)
        type = DmbFrameType::Command;
    Respond(command, type, payload);
}

bool CDmbModule::TakeData(const DmbFrameWord& command, const std::vector<BYTE>& frame)
{
    if (m_size == 0 || command.count != kDmbDataWords + 1)
        return false;
    const DWORD words[kDmbDataWords] = {WordAt(frame, 1), WordAt(frame, 2), WordAt(frame, 3)};
    if (DmbDataChecksum(words) != WordAt(frame, 4))
        return false;
    // The same frame again: the host missed the answer and resends.
    if (command.sequence == m_lastSequence && frame == m_lastFrame) {
        ++m_duplicates;
        return true;
    }
    if (m_image.size() >= m_size)
        return false;
    // The last block may run past the image; the loader keeps the image's
    // own bytes.
    const std::size_t take = std::min<std::size_t>(kDmbDataBytes, m_size - m_image.size());
    m_image.insert(m_image.end(), frame.begin() + 4, frame.begin() + 4 + take);
    m_lastFrame = frame;
    return true;
}

void CDmbModule::Misbehave(DmbCommand command, Fault fault, int count)
{
    std::lock_guard<std::mutex> guard(m_lock);
    auto& faults = m_faults[static_cast<BYTE>(command)];
    faults.insert(faults.end(), count, fault);
}

void CDmbModule::FailImageCheck(bool fail)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_failCheck = fail;
}

CDmbModule::Mode CDmbModule::CurrentMode() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_mode;
}

std::vector<BYTE> CDmbModule::ReceivedImage() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_image;
}

std::vector<BYTE> CDmbModule::Flash() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_flash;
}

int CDmbModule::FramesOf(DmbCommand command) const
{
    std::lock_guard<std::mutex> guard(m_lock);
    auto it = m_frames.find(static_cast<BYTE>(command));
    return it == m_frames.end() ? 0 : it->second;
}

int CDmbModule::Duplicates() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_duplicates;
}

int CDmbModule::OpenHandles() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_open;
}

} // namespace sim
