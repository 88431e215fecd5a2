#include "sim/BoardCommand.h"

#include <charconv>
#include <cstdint>
#include <utility>

namespace sim {
namespace {

struct KeyName {
    const char* name;
    MicomKey key;
};

constexpr KeyName kKeys[] = {
    {"mute", MicomKey::Mute},
    {"vol-down", MicomKey::VolumeDown},
    {"vol-up", MicomKey::VolumeUp},
    {"av-navi", MicomKey::AvNavi},
    {"voice", MicomKey::Voice},
    {"tilt", MicomKey::Tilt},
    {"sw-seek-up", MicomKey::SteeringSeekUp},
    {"sw-seek-down", MicomKey::SteeringSeekDown},
    {"sw-phone-on", MicomKey::SteeringPhoneOn},
    {"sw-mute", MicomKey::SteeringMute},
    {"sw-vol-up", MicomKey::SteeringVolumeUp},
    {"sw-vol-down", MicomKey::SteeringVolumeDown},
    {"sw-power", MicomKey::SteeringPower},
    {"sw-voice", MicomKey::SteeringVoice},
    {"sw-mode", MicomKey::SteeringMode},
    {"sw-phone-off", MicomKey::SteeringPhoneOff},
};

struct RemoteName {
    const char* name;
    RemoteKey key;
};

constexpr RemoteName kRemoteKeys[] = {
    {"disp", RemoteKey::Display},
    {"pbc", RemoteKey::Pbc},
    {"play-pause", RemoteKey::MenuPlayPause},
    {"angle", RemoteKey::Angle},
    {"random", RemoteKey::Random},
    {"return", RemoteKey::Return},
    {"updown", RemoteKey::UpDown},
    {"jog-down", RemoteKey::JogDown},
    {"power", RemoteKey::Power},
    {"zoom", RemoteKey::Zoom},
    {"key69", RemoteKey::Key69},
    {"vol-down", RemoteKey::VolumeDown},
    {"key89", RemoteKey::Key89},
    {"ab-repeat", RemoteKey::AbRepeat},
    {"key105", RemoteKey::Key105},
    {"jog-right", RemoteKey::JogRight},
    {"key121", RemoteKey::Key121},
    {"search", RemoteKey::Search},
    {"vol-up", RemoteKey::VolumeUp},
    {"jog-left", RemoteKey::JogLeft},
    {"left-up", RemoteKey::LeftUp},
    {"menu", RemoteKey::Menu},
    {"right-up", RemoteKey::RightUp},
    {"navi", RemoteKey::Navi},
    {"jog-center", RemoteKey::JogCenter},
    {"stop", RemoteKey::Stop},
    {"audio", RemoteKey::Audio},
    {"jog-up", RemoteKey::JogUp},
    {"mode", RemoteKey::Mode},
    {"title", RemoteKey::Title},
    {"subtitle", RemoteKey::Subtitle},
    {"mute", RemoteKey::Mute},
};

constexpr const char* kDrivers[] = {"NEC1:", "ASP1:", "CST1:", "RMT1:"};

bool Number(const std::string& word, long low, long high, long* value)
{
    long parsed = 0;
    const char* end = word.data() + word.size();
    auto [at, error] = std::from_chars(word.data(), end, parsed);
    if (word.empty() || error != std::errc() || at != end || parsed < low || parsed > high)
        return false;
    *value = parsed;
    return true;
}

bool Fail(std::string* error, std::string text)
{
    *error = std::move(text);
    return false;
}

bool OnOff(const std::vector<std::string>& words, BoardCommand* command, std::string* error)
{
    if (words.size() != 2 || (words[1] != "on" && words[1] != "off"))
        return Fail(error, words[0] + ": give on or off");
    command->on = words[1] == "on";
    return true;
}

bool Card(const std::string& word, BoardCard* card)
{
    if (word == "sd1")
        *card = BoardCard::Sd1;
    else if (word == "sd2")
        *card = BoardCard::Sd2;
    else if (word == "usb")
        *card = BoardCard::Usb;
    else
        return false;
    return true;
}

bool Coordinates(const std::vector<std::string>& words, std::size_t count, int* into[])
{
    if (words.size() != count + 1)
        return false;
    for (std::size_t i = 0; i < count; ++i) {
        long value = 0;
        if (!Number(words[i + 1], 0, i % 2 == 0 ? 799 : 479, &value))
            return false;
        *into[i] = static_cast<int>(value);
    }
    return true;
}

bool Fault(const std::string& word, ProgramFault* fault)
{
    static const std::pair<const char*, ProgramFault> kFaults[] = {{"none", ProgramFault::None},
                                                                   {"hang", ProgramFault::Hang},
                                                                   {"crash", ProgramFault::Crash},
                                                                   {"refuse-close", ProgramFault::RefuseClose}};
    for (const auto& [name, kind] : kFaults) {
        if (word == name) {
            *fault = kind;
            return true;
        }
    }
    return false;
}

bool ParseKey(const std::vector<std::string>& words, BoardCommand* command, std::string* error)
{
    if (words.size() != 2 && !(words.size() == 4 && words[2] == "--hold"))
        return Fail(error, "key: give NAME [--hold MS]");
    if (words.size() == 4) {
        long hold = 0;
        if (!Number(words[3], 0, kBoardMaxHoldMs, &hold))
            return Fail(error, "key: the hold is 0 to " + std::to_string(kBoardMaxHoldMs) + " ms");
        command->holdMs = static_cast<DWORD>(hold);
    }
    if (words[1] == "enc-up" || words[1] == "enc-down") {
        command->encoder = true;
        command->encoderUp = words[1] == "enc-up";
        return true;
    }
    for (const KeyName& key : kKeys) {
        if (words[1] == key.name) {
            command->key = key.key;
            return true;
        }
    }
    return Fail(error, "key: unknown key \"" + words[1] + "\"");
}

bool ParseRemote(const std::vector<std::string>& words, BoardCommand* command, std::string* error)
{
    if (words.size() != 2 && !(words.size() == 4 && words[2] == "--repeat"))
        return Fail(error, "remote: give KEY [--repeat N]");
    if (words.size() == 4) {
        long repeats = 0;
        if (!Number(words[3], 0, kBoardMaxRepeats, &repeats))
            return Fail(error, "remote: the repeats are 0 to " + std::to_string(kBoardMaxRepeats));
        command->repeats = static_cast<int>(repeats);
    }
    for (const RemoteName& key : kRemoteKeys) {
        if (words[1] == key.name) {
            command->remote = key.key;
            return true;
        }
    }
    return Fail(error, "remote: unknown key \"" + words[1] + "\"");
}

} // namespace

bool ParseBoardCommand(const std::vector<std::string>& words, BoardCommand* command, std::string* error)
{
    *command = BoardCommand();
    if (words.empty())
        return Fail(error, "no command");
    const std::string& name = words[0];
    using Kind = BoardCommand::Kind;
    if (name == "acc" || name == "reverse" || name == "tail" || name == "park") {
        command->kind = name == "acc" ? Kind::Acc
            : name == "reverse"       ? Kind::Reverse
            : name == "tail"          ? Kind::Tail
                                      : Kind::Park;
        return OnOff(words, command, error);
    }
    if (name == "key") {
        command->kind = Kind::Key;
        return ParseKey(words, command, error);
    }
    if (name == "remote") {
        command->kind = Kind::Remote;
        return ParseRemote(words, command, error);
    }
    if (name == "card") {
        const bool insert = (words.size() == 4 || (words.size() == 5 && words[4] == "--navi")) && words[1] == "insert";
        const bool remove = words.size() == 3 && words[1] == "remove";
        if ((!insert && !remove) || !Card(words[2], &command->card))
            return Fail(error, "card: give insert sd1|sd2|usb FOLDER [--navi], or remove sd1|sd2|usb");
        command->kind = insert ? Kind::CardInsert : Kind::CardRemove;
        if (insert) {
            if (words[3].empty() || words[3][0] != '/')
                return Fail(error, "card: the folder must be an absolute path");
            command->path = words[3];
            command->navi = words.size() == 5;
            if (command->navi && command->card == BoardCard::Usb)
                return Fail(error, "card: the navigation programs start from sd1 or sd2 only");
        }
        return true;
    }
    if (name == "voice" && !(words.size() == 3 && words[1] == "fault")) {
        command->kind = Kind::Voice;
        long code = 0;
        if (words.size() < 2 || words.size() > 3 || !Number(words[1], 0, kBoardMaxVoiceCode, &code)
            || (words.size() == 3 && !Number(words[2], INT32_MIN, INT32_MAX, &command->value)))
            return Fail(error,
                        "voice: give CODE (0-" + std::to_string(kBoardMaxVoiceCode) + ") [VALUE], or fault KIND");
        command->code = static_cast<DWORD>(code);
        return true;
    }
    if ((name == "navi" || name == "voice") && words.size() == 3 && words[1] == "fault") {
        command->kind = Kind::Fault;
        command->navi = name == "navi";
        return Fault(words[2], &command->fault) || Fail(error, name + " fault: give none, hang, crash or refuse-close");
    }
    if (name == "navi") {
        command->kind = Kind::Position;
        if (words.size() != 4 || words[1] != "position" || !Number(words[2], 0, kBoardMaxPosition, &command->value)
            || !Number(words[3], 0, kBoardMaxPosition, &command->y))
            return Fail(error, "navi: give position X Y (0-" + std::to_string(kBoardMaxPosition) + "), or fault KIND");
        return true;
    }
    if (name == "tap") {
        command->kind = Kind::Tap;
        int* into[] = {&command->x1, &command->y1};
        return Coordinates(words, 2, into) || Fail(error, "tap: give X (0-799) and Y (0-479)");
    }
    if (name == "swipe") {
        command->kind = Kind::Swipe;
        int* into[] = {&command->x1, &command->y1, &command->x2, &command->y2};
        return Coordinates(words, 4, into) || Fail(error, "swipe: give X1 Y1 X2 Y2 (X 0-799, Y 0-479)");
    }
    if (name == "screenshot") {
        command->kind = Kind::Screenshot;
        if (words.size() != 2 || words[1].empty() || words[1][0] != '/')
            return Fail(error, "screenshot: give the absolute path of a PNG file");
        command->path = words[1];
        return true;
    }
    if (name == "status" || name == "log" || name == "posts") {
        command->kind = name == "status" ? Kind::Status : name == "log" ? Kind::Log : Kind::Posts;
        return words.size() == 1 || Fail(error, name + ": takes no arguments");
    }
    if (name == "calls") {
        command->kind = Kind::Calls;
        for (const char* driver : kDrivers) {
            if (words.size() == 2 && words[1] == driver) {
                command->driver = driver;
                return true;
            }
        }
        return Fail(error, "calls: give NEC1:, ASP1:, CST1: or RMT1:");
    }
    return Fail(error, "unknown command \"" + name + "\"");
}

std::vector<std::string> BoardKeyNames()
{
    std::vector<std::string> names;
    for (const KeyName& key : kKeys)
        names.push_back(key.name);
    names.push_back("enc-up");
    names.push_back("enc-down");
    return names;
}

std::vector<std::string> RemoteKeyNames()
{
    std::vector<std::string> names;
    for (const RemoteName& key : kRemoteKeys)
        names.push_back(key.name);
    return names;
}

std::string BoardCommandUsage()
{
    return "acc on|off                 switch the ignition (ACC)\n"
           "reverse on|off             put the reverse gear in or out\n"
           "tail on|off                switch the tail lamps\n"
           "park on|off                apply or release the park brake\n"
           "key NAME [--hold MS]       press a bezel or steering-wheel key (default hold 100 ms)\n"
           "remote KEY [--repeat N]    press a key of the remote control\n"
           "card insert sd1|sd2|usb FOLDER [--navi]   insert a card holding the folder's files\n"
           "                           (and the navigation program and voice controller)\n"
           "card remove sd1|sd2|usb    pull a card\n"
           "tap X Y                    touch the screen\n"
           "swipe X1 Y1 X2 Y2          drag across the screen\n"
           "screenshot FILE            save the screen as a PNG\n"
           "status                     ACC, gear, view, volume and the storages in\n"
           "log                        follow the unit's debug output\n"
           "calls NEC1:|ASP1:|CST1:|RMT1:   the control calls a driver received\n"
           "posts                      the messages the board posted\n"
           "voice CODE [VALUE]         the voice controller speaks a command or notice\n"
           "navi position X Y          the navigation program reports its map position\n"
           "navi|voice fault none|hang|crash|refuse-close   make the program misbehave\n";
}

} // namespace sim
