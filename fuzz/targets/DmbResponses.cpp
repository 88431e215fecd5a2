// The DMB download against a module whose answers are the input: whatever
// it answers, the download ends, every frame it writes is a whole command
// frame, the blocks it sends (resends aside) are the image in order, and it
// reports success only after the module was asked to check the image and
// then to write it.
#include "fuzz/FuzzRoot.h"
#include "fuzz/FuzzTarget.h"
#include "platform/base/Clock.h"
#include "platform/base/Debug.h"
#include "platform/io/Device.h"
#include "platform/io/DmbDriver.h"
#include "platform/io/RawDisk.h"
#include "updater/DmbSpi.h"

#include <memory>
#include <string>
#include <vector>

WREN_FUZZ_TARGET(DmbResponses)
{
    platform::DebugCapture quiet; // the download's log lines, kept off the output
    if (size > (1u << 16))
        return 0;
    const std::string& root = wrenfuzz::FuzzRoot("wren-fuzz-dmb", {"_MAKE_TEMP_"});
    // Two and a half blocks.
    static const std::vector<std::uint8_t> image
        = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28};
    wrenfuzz::WriteInput(root + "/_MAKE_TEMP_/_DMB_.BIN", image.data(), image.size());

    platform::ManualClock clock;
    clock.SetSleepAdvances(true);
    auto peer = std::make_shared<platform::RecordingDevice>();
    peer->AddReadData(std::vector<BYTE>(data, data + size));
    platform::RegisterDevice(u"DMB1:", peer);
    BOOL ok = FALSE;
    {
        CDmbSpi spi;
        ok = spi.Download(updater::kDmbFile);
    }
    platform::UnregisterDevice(u"DMB1:");

    std::vector<BYTE> sent;
    std::vector<BYTE> last;
    bool checked = false;
    bool written = false;
    for (const auto& call : peer->CallsOf(platform::RecordingDevice::CallKind::Write)) {
        const std::vector<BYTE>& frame = call.input;
        FUZZ_CHECK(frame.size() >= 4 && frame.size() % 4 == 0);
        const DmbFrameWord word = DmbFrameWord::FromWord(platform::GetRawWord(frame.data()));
        FUZZ_CHECK(word.type == static_cast<BYTE>(DmbFrameType::Command));
        FUZZ_CHECK(4u * word.count == frame.size() - 4);
        if (word.id == static_cast<BYTE>(DmbCommand::ImageData)) {
            FUZZ_CHECK(frame.size() == kDmbDataFrameBytes);
            const DWORD words[3]
                = {platform::GetRawWord(&frame[4]), platform::GetRawWord(&frame[8]), platform::GetRawWord(&frame[12])};
            FUZZ_CHECK(DmbDataChecksum(words) == platform::GetRawWord(&frame[16]));
            if (frame != last)
                sent.insert(sent.end(), frame.begin() + 4, frame.begin() + 16);
            last = frame;
        }
        checked = checked || word.id == static_cast<BYTE>(DmbCommand::ImageCheck);
        if (word.id == static_cast<BYTE>(DmbCommand::ImageWrite)) {
            FUZZ_CHECK(checked);
            written = true;
        }
    }
    // What was sent is the image so far, then zeros in the last block.
    for (std::size_t i = 0; i < sent.size(); ++i)
        FUZZ_CHECK(sent[i] == (i < image.size() ? image[i] : 0));
    if (ok) {
        FUZZ_CHECK(written);
        FUZZ_CHECK(sent.size() == 36);
    }
    return 0;
}
