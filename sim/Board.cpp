#include "sim/Board.h"

#include "platform/gfx/Screen.h"
#include "platform/io/RawDisk.h"
#include "platform/ui/Window.h"
#include "platform/unit/Unit.h"
#include "sim/DmbModule.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <vector>

namespace sim {
namespace {

namespace fs = std::filesystem;

std::uint16_t Rgb565(int r, int g, int b)
{
    return static_cast<std::uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

// What the camera sees: a wall above a parking bay's asphalt with its white
// bay lines running away from the car.
std::vector<std::uint16_t> CameraPicture()
{
    constexpr int kWidth = platform::kScreenWidth, kHeight = platform::kScreenHeight, kHorizon = 170;
    std::vector<std::uint16_t> pixels(static_cast<std::size_t>(kWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            std::uint16_t colour;
            if (y < kHorizon) {
                colour = Rgb565(150 - y / 4, 140 - y / 4, 125 - y / 4); // the wall, darker towards the ground
            } else {
                const int depth = y - kHorizon; // 0 at the horizon
                const int shade = 70 + depth * 50 / (kHeight - kHorizon);
                // The bay lines widen and part towards the car.
                const int half = 160 + depth * 3 / 2, width = 3 + depth / 25;
                const int left = kWidth / 2 - half, right = kWidth / 2 + half;
                const bool line = (x >= left - width && x < left) || (x >= right && x < right + width);
                colour = line ? Rgb565(235, 235, 225) : Rgb565(shade, shade, shade + 4);
            }
            pixels[static_cast<std::size_t>(y) * kWidth + x] = colour;
        }
    }
    return pixels;
}

std::string Hex(const std::vector<BYTE>& bytes)
{
    std::string text;
    char digits[3];
    for (BYTE b : bytes) {
        std::snprintf(digits, sizeof(digits), "%02X", b);
        text += digits;
    }
    return text.empty() ? "-" : text;
}

std::string Narrow(const std::u16string& text)
{
    return std::string(text.begin(), text.end());
}

const char* CardName(BoardCard card)
{
    switch (card) {
    case BoardCard::Sd1:
        return "sd1";
    case BoardCard::Sd2:
        return "sd2";
    case BoardCard::Usb:
        return "usb";
    }
    return "?";
}

// A reply carries at most this much text; the control socket's lines are
// bounded.
constexpr std::size_t kReplyText = 32 * 1024;

std::string TakeFront(std::string* text)
{
    std::string front = text->substr(0, kReplyText);
    text->erase(0, front.size());
    return front;
}

// The last whole lines of the text that fit a reply.
std::string KeepTail(std::string text)
{
    if (text.size() <= kReplyText)
        return text;
    const std::size_t cut = text.find('\n', text.size() - kReplyText);
    return cut == std::string::npos ? std::string() : text.substr(cut + 1);
}

// A touch of the screen, delivered as the touch panel's driver would: to
// the window under it (or the one holding the pointer).
void Touch(int kind, int x, int y)
{
    platform::DeliverPointer(kind, x, y);
}

// Removes what is in the folder, not the folder (it is a drive of the unit).
void EmptyFolder(const fs::path& folder)
{
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        fs::remove_all(it->path(), error);
}

} // namespace

CBoard::CBoard(bool followLog) : m_followLog(followLog)
{
    m_micom = CMicom::Install(platform::UnitRoot() + "/board/NEC1.state");
    m_audio = CAudioProcessor::Install();
    m_connection = CConnectionStatus::Install();
    m_remote = CRemoteControl::Install();
    CDmbModule::Install();
    m_gps = CGpsReceiver::Install();
    m_display = CDisplay::Install();
    m_navi = std::make_unique<CNaviProgram>();
    m_navi->Install();
    m_voice = std::make_unique<CVoiceController>();
    m_voice->Install();
    // A car on a desk: the park brake is applied.
    m_connection->SetParked(true);
    m_connection->ClearRecord();
}

CBoard::~CBoard()
{
    StopConsole();
    m_navi.reset();
    m_voice.reset();
    CMicom::Uninstall();
    CAudioProcessor::Uninstall();
    CConnectionStatus::Uninstall();
    CRemoteControl::Uninstall();
    CDmbModule::Uninstall();
    CGpsReceiver::Uninstall();
    CDisplay::Uninstall();
}

void CBoard::ServeConsole()
{
    m_serving = true;
    platform::SetControlHandler("board", [this](const std::vector<std::string>& args) {
        return Run(std::vector<std::string>(args.begin() + 1, args.end()));
    });
}

void CBoard::StopConsole()
{
    if (m_serving)
        platform::SetControlHandler("board", nullptr);
    m_serving = false;
}

std::string CBoard::Run(const std::vector<std::string>& words)
{
    BoardCommand command;
    std::string error;
    if (!ParseBoardCommand(words, &command, &error))
        return "ERR " + error;
    std::lock_guard<std::mutex> guard(m_runLock);
    return Execute(command);
}

std::string CBoard::Execute(const BoardCommand& command)
{
    using Kind = BoardCommand::Kind;
    switch (command.kind) {
    case Kind::Acc:
        m_micom->SetAcc(command.on);
        return "OK";
    case Kind::Reverse:
        if (command.on) {
            const std::vector<std::uint16_t> picture = CameraPicture();
            platform::Screen::Get().SetVideoPlane(CBoard::kCameraPlane,
                                                  RECT{0, 0, platform::kScreenWidth, platform::kScreenHeight},
                                                  picture.data(), platform::kScreenWidth);
        } else {
            platform::Screen::Get().RemoveVideoPlane(CBoard::kCameraPlane);
        }
        m_micom->SetReverseGear(command.on);
        return "OK";
    case Kind::Tail:
        m_micom->SetTailLamp(command.on);
        return "OK";
    case Kind::Park:
        m_connection->SetParked(command.on);
        return "OK";
    case Kind::Key:
        if (command.encoder) {
            m_micom->Encoder(command.encoderUp);
            return "OK";
        }
        m_micom->KeyDown(command.key);
        std::this_thread::sleep_for(std::chrono::milliseconds(command.holdMs));
        m_micom->KeyUp(command.key);
        return "OK";
    case Kind::Remote:
        m_remote->Press(command.remote, command.repeats);
        return "OK";
    case Kind::CardInsert:
        return CardInsert(command.card, command.path, command.navi);
    case Kind::CardRemove:
        return CardRemove(command.card);
    case Kind::Tap:
        Touch(platform::kPointerDown, command.x1, command.y1);
        Touch(platform::kPointerUp, command.x1, command.y1);
        return "OK";
    case Kind::Swipe: {
        constexpr int kSteps = 8;
        Touch(platform::kPointerDown, command.x1, command.y1);
        for (int i = 1; i <= kSteps; ++i)
            Touch(platform::kPointerMove, command.x1 + (command.x2 - command.x1) * i / kSteps,
                  command.y1 + (command.y2 - command.y1) * i / kSteps);
        Touch(platform::kPointerUp, command.x2, command.y2);
        return "OK";
    }
    case Kind::Screenshot:
        return platform::Screen::Get().SavePng(command.path) ? "OK" : "ERR cannot write " + command.path;
    case Kind::Status:
        return Status();
    case Kind::Log:
        // The output is kept from the first log command on, and handed
        // out once: a follower asks again and again.
        if (!m_followLog)
            return "ERR this unit does not keep its debug output";
        if (!m_log) {
            m_log = std::make_unique<platform::DebugCapture>(true);
            return "OK\n";
        }
        m_pendingLog += m_log->Take();
        return "OK\n" + TakeFront(&m_pendingLog);
    case Kind::Calls:
        return Calls(command.driver);
    case Kind::Posts:
        return Posts();
    case Kind::Voice:
        return m_voice->Speak(command.code, command.value) ? "OK" : "ERR the voice controller does not run";
    case Kind::Fault:
        if (command.navi)
            m_navi->SetFault(command.fault);
        else
            m_voice->SetFault(command.fault);
        return "OK";
    case Kind::Position:
        return m_navi->ReportPosition(command.value, command.y) ? "OK" : "ERR the navigation program does not run";
    }
    return "ERR unknown command";
}

std::string CBoard::Status()
{
    const DWORD status = m_micom->Status();
    const CMicom::Block0 block = m_micom->StoredBlock0();
    // The last view the unit kept: the last non-zero of the five words at
    // bytes 40 ... 56 of the status block.
    DWORD view = 0;
    for (DWORD at = 56; at >= 40 && view == 0; at -= 4)
        view = platform::GetRawWord(&block[at]);
    std::string reply = "OK\n";
    reply += std::string("acc ") + (status & static_cast<DWORD>(MicomStatusBit::Acc) ? "on" : "off") + "\n";
    reply += std::string("gear ") + (status & static_cast<DWORD>(MicomStatusBit::RearCamera) ? "reverse" : "drive")
        + "\n";
    reply += std::string("tail ") + (status & static_cast<DWORD>(MicomStatusBit::TailLamp) ? "on" : "off") + "\n";
    reply += std::string("park ") + (m_connection->Word(ConnectionWord::Park) == 0 ? "on" : "off") + "\n";
    reply += "view " + (view ? std::to_string(view) : std::string("none")) + "\n";
    const int step = m_audio->Value(AudioIoctl::MainVolume);
    reply += "volume " + (step < 0 ? std::string("unset") : std::to_string(step * 200)) + " mute "
        + (m_audio->Value(AudioIoctl::Mute) == 1 ? "on" : "off") + "\n";
    std::string storages;
    const std::pair<ConnectionWord, BoardCard> cards[] = {{ConnectionWord::Sd0, BoardCard::Sd1},
                                                          {ConnectionWord::Sd1, BoardCard::Sd2},
                                                          {ConnectionWord::Usb, BoardCard::Usb}};
    for (const auto& [word, card] : cards)
        if (m_connection->Word(word))
            storages += std::string(storages.empty() ? "" : " ") + CardName(card);
    reply += "storage " + (storages.empty() ? std::string("none") : storages) + "\n";
    reply += std::string("navi ") + (m_navi->IsRunning() ? "running" : "off") + "\n";
    reply += std::string("voice ") + (m_voice->IsRunning() ? "running" : "off") + "\n";
    return reply;
}

std::string CBoard::CardFolder(BoardCard card)
{
    switch (card) {
    case BoardCard::Sd1:
        return platform::UnitRoot() + "/Storage Card";
    case BoardCard::Sd2:
        return platform::UnitRoot() + "/Storage Card2";
    case BoardCard::Usb:
        return platform::UnitRoot() + "/HDD";
    }
    return {};
}

void CBoard::SetCard(BoardCard card, bool in)
{
    switch (card) {
    case BoardCard::Sd1:
        m_connection->SetSd0(in);
        break;
    case BoardCard::Sd2:
        m_connection->SetSd1(in);
        break;
    case BoardCard::Usb:
        m_connection->SetUsb(in);
        break;
    }
}

std::string CBoard::CardInsert(BoardCard card, const std::string& folder, bool withNavi)
{
    std::error_code error;
    if (!fs::is_directory(folder, error))
        return "ERR no folder " + folder;
    const fs::path drive = CardFolder(card);
    fs::create_directories(drive, error);
    EmptyFolder(drive);
    // The card's files are copied: the unit does not follow links out of
    // its drives.
    fs::copy(folder, drive, fs::copy_options::recursive | fs::copy_options::overwrite_existing, error);
    if (error)
        return "ERR cannot copy " + folder + ": " + error.message();
    if (withNavi) {
        m_navi->PutOnCard(drive.string());
        m_voice->PutOnCard(drive.string());
    }
    SetCard(card, true);
    return "OK";
}

std::string CBoard::CardRemove(BoardCard card)
{
    EmptyFolder(CardFolder(card));
    SetCard(card, false);
    return "OK";
}

std::string CBoard::Calls(const std::string& driver)
{
    CBoardDevice* device = driver == "NEC1:" ? static_cast<CBoardDevice*>(m_micom.get())
        : driver == "ASP1:"                  ? static_cast<CBoardDevice*>(m_audio.get())
        : driver == "CST1:"                  ? static_cast<CBoardDevice*>(m_connection.get())
                                             : static_cast<CBoardDevice*>(m_remote.get());
    std::string reply;
    char code[16];
    for (const CBoardDevice::Call& call : device->Calls()) {
        std::snprintf(code, sizeof(code), "0x%08X", call.code);
        reply += std::string(code) + " in " + Hex(call.input) + " out " + std::to_string(call.outSize)
            + (call.result ? " ok" : " error " + std::to_string(call.error)) + "\n";
    }
    return "OK\n" + KeepTail(reply);
}

std::string CBoard::Posts()
{
    std::vector<CBoardDevice::Posted> posts;
    for (CBoardDevice* device :
         {static_cast<CBoardDevice*>(m_micom.get()), static_cast<CBoardDevice*>(m_connection.get()),
          static_cast<CBoardDevice*>(m_remote.get())})
        for (const CBoardDevice::Posted& posted : device->Posts())
            posts.push_back(posted);
    std::string reply;
    for (const CBoardDevice::Posted& posted : posts)
        reply += Narrow(posted.message) + " " + std::to_string(posted.code) + " " + std::to_string(posted.value)
            + (posted.delivered ? "" : " undelivered") + "\n";
    return "OK\n" + KeepTail(reply);
}

} // namespace sim
