#include "updater/MicomFile.h"

#include "platform/base/Debug.h"
#include "platform/base/Text.h"
#include "updater/FileHelpers.h"

#include <string_view>
#include <vector>

namespace {

constexpr std::string_view kHeader = "S0030000FC";
constexpr std::string_view kEnd = "S70500000000FA";

// Count, hex digits and checksum of one record ("S" and its type checked).
MicomFileFault CheckRecordBytes(std::string_view line)
{
    if (line.size() < 6 || line.size() % 2 != 0)
        return MicomFileFault::BadRecord;
    unsigned sum = 0;
    unsigned count = 0;
    unsigned last = 0;
    for (std::size_t i = 2; i < line.size(); i += 2) {
        const int high = platform::HexDigitValue(line[i]);
        const int low = platform::HexDigitValue(line[i + 1]);
        if (high < 0 || low < 0)
            return MicomFileFault::BadRecord;
        last = static_cast<unsigned>(high << 4 | low);
        if (i == 2)
            count = last;
        if (i + 2 < line.size())
            sum += last;
    }
    if (count != (line.size() - 4) / 2)
        return MicomFileFault::BadRecord;
    return static_cast<BYTE>(~sum) == last ? MicomFileFault::None : MicomFileFault::BadChecksum;
}

MicomFileFault CheckLine(std::string_view line, bool first)
{
    if (line.empty() || line[0] != 'S')
        return MicomFileFault::NotARecord;
    if (first)
        return line == kHeader ? MicomFileFault::None : MicomFileFault::BadHeader;
    if (line.size() < 2)
        return MicomFileFault::BadRecord;
    const MicomFileFault bytes = CheckRecordBytes(line);
    if (bytes != MicomFileFault::None)
        return bytes;
    switch (line[1]) {
    case '1':
    case '2':
    case '3':
    case '5':
    case '6':
        return MicomFileFault::None;
    case '7':
        return line == kEnd ? MicomFileFault::None : MicomFileFault::BadEnd;
    default:
        return MicomFileFault::UnexpectedType;
    }
}

} // namespace

namespace updater {

MicomFileFault CheckMicomRecords(const BYTE* data, std::size_t size)
{
    std::string line;
    int lines = 0;
    bool ended = false; // the S7 record was seen
    for (std::size_t i = 0; i < size; ++i) {
        const char c = static_cast<char>(data[i]);
        if (c == '\n') {
            // Only the LF of a CR LF: a line the download would send must
            // have been checked.
            if (!line.empty())
                return MicomFileFault::NotCrTerminated;
            continue;
        }
        if (ended)
            return MicomFileFault::EndNotLast;
        if (c != '\r') {
            line.push_back(c);
            if (line.size() >= kMicomLineLimit)
                return MicomFileFault::LineTooLong;
            continue;
        }
        const MicomFileFault fault = CheckLine(line, lines == 0);
        if (fault != MicomFileFault::None)
            return fault;
        ended = line[1] == '7';
        ++lines;
        line.clear();
    }
    if (!line.empty())
        return MicomFileFault::NotCrTerminated;
    if (lines == 0)
        return MicomFileFault::NoLine;
    return ended ? MicomFileFault::None : MicomFileFault::MissingEnd;
}

} // namespace updater

BOOL CheckMICOM(LPCWSTR path)
{
    std::vector<BYTE> data;
    const bool ok = updater::ReadFirmwareFile(path, u"CMainWIndow::CheckMICOM", &data) == 0
        && updater::CheckMicomRecords(data.data(), data.size()) == MicomFileFault::None;
    NKDbgPrintfW(u"CMainWIndow::CheckMICOM(%s)\r\n", ok ? u"OK" : u"BROKEN");
    return ok ? TRUE : FALSE;
}
