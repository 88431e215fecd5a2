#include "sim/GpsReceiver.h"

#include <cstdio>

namespace sim {
namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

unsigned char Checksum(std::string_view body)
{
    unsigned char sum = 0;
    for (char c : body)
        sum ^= static_cast<unsigned char>(c);
    return sum;
}

} // namespace

std::shared_ptr<CGpsReceiver> CGpsReceiver::Install(LPCWSTR port)
{
    auto receiver = std::make_shared<CGpsReceiver>();
    platform::RegisterSerialPeer(port, receiver);
    return receiver;
}

void CGpsReceiver::Uninstall(LPCWSTR port)
{
    platform::RegisterSerialPeer(port, nullptr);
}

bool CGpsReceiver::ParseSentence(std::string_view line, std::string* body)
{
    if (line.size() < 4 || line.size() > kMaxSentence || line[0] != '$' || line[line.size() - 3] != '*')
        return false;
    const std::string_view text = line.substr(1, line.size() - 4);
    for (char c : text)
        if (c < 0x20 || c > 0x7E || c == '$' || c == '*')
            return false;
    const int high = HexDigit(line[line.size() - 2]);
    const int low = HexDigit(line[line.size() - 1]);
    if (high < 0 || low < 0 || (high << 4 | low) != Checksum(text))
        return false;
    body->assign(text);
    return true;
}

std::string CGpsReceiver::MakeSentence(std::string_view body)
{
    char checksum[4];
    std::snprintf(checksum, sizeof(checksum), "%02X", Checksum(body));
    std::string sentence(1, '$');
    sentence.append(body).append(1, '*').append(checksum).append("\r\n");
    return sentence;
}

void CGpsReceiver::OnOpen()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_poweredDown = false;
    m_line.clear();
}

void CGpsReceiver::OnReceive(const BYTE* data, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i) {
        const char c = static_cast<char>(data[i]);
        if (c == '\r')
            continue;
        std::string line;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            if (c != '\n') {
                // Only the start of an overlong line is kept: it is rejected
                // whole at its end.
                if (m_line.size() <= kMaxSentence)
                    m_line += c;
                continue;
            }
            line.swap(m_line);
        }
        if (!line.empty())
            TakeLine(line);
    }
}

void CGpsReceiver::TakeLine(const std::string& line)
{
    std::string body;
    std::string answer;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (!ParseSentence(line, &body)) {
            m_rejected.push_back(line);
            return;
        }
        m_sentences.push_back(body);
        if (m_poweredDown)
            return;
        if (body == "PSTMDRINIT") {
            ++m_drInits;
            answer = MakeSentence("PSTMDRINITOK");
        } else if (body == "PSTMPWDN") {
            m_poweredDown = true;
            answer = MakeSentence("PSTMPWDNOK");
        }
    }
    if (!answer.empty())
        Send(reinterpret_cast<const BYTE*>(answer.data()), answer.size());
}

std::vector<std::string> CGpsReceiver::Sentences() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_sentences;
}

std::vector<std::string> CGpsReceiver::Rejected() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_rejected;
}

int CGpsReceiver::DrInits() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_drInits;
}

bool CGpsReceiver::PoweredDown() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_poweredDown;
}

} // namespace sim
