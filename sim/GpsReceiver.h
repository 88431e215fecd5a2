// The GPS receiver on "COM4:": it reads NMEA 0183 sentences ("$" body "*"
// two hexadecimal digits of the XOR of the body's characters, CR LF) and
// answers the two the unit sends: "$PSTMDRINIT" (start the dead-reckoning
// over) with "$PSTMDRINITOK", and "$PSTMPWDN" (power down) with
// "$PSTMPWDNOK", after which it answers nothing until the port is opened
// again. A sentence with a wrong checksum, without one, or longer than a
// sentence may be is rejected and not answered; any other sound sentence is
// kept but not answered.
#pragma once

#include "platform/io/Serial.h"

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

class CGpsReceiver : public platform::SerialPeer {
public:
    // The longest line taken, without CR LF (NMEA allows 82 with them).
    static constexpr std::size_t kMaxSentence = 80;

    static std::shared_ptr<CGpsReceiver> Install(LPCWSTR port = u"COM4:");
    static void Uninstall(LPCWSTR port = u"COM4:");

    // The body of a sound sentence ("$" body "*" checksum), else false.
    static bool ParseSentence(std::string_view line, std::string* body);
    // The sentence for a body, with its checksum and CR LF.
    static std::string MakeSentence(std::string_view body);

    void OnOpen() override;
    void OnReceive(const BYTE* data, std::size_t size) override;

    // Bodies of the sound sentences received, in order; lines rejected.
    std::vector<std::string> Sentences() const;
    std::vector<std::string> Rejected() const;
    int DrInits() const;
    bool PoweredDown() const;

private:
    void TakeLine(const std::string& line);

    mutable std::mutex m_lock;
    std::string m_line;
    std::vector<std::string> m_sentences;
    std::vector<std::string> m_rejected;
    int m_drInits = 0;
    bool m_poweredDown = false;
};

} // namespace sim
