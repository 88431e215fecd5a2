// The micom's status and text blocks as the model center reads them:
// whatever the micom answers, a block is kept exactly when its stored
// checksum is its non-zero byte sum, else the defaults fill the named fields
// and keep the rest; the text stops at its zero within the block; the
// volumes reach the audio processor within its steps, and the block the
// center sends back always carries a right checksum. The input is the
// status block, then the text block.
#include "Source/models/ModelCenter.h"
#include "Source/models/UnitLink.h"
#include "fuzz/FuzzRoot.h"
#include "fuzz/FuzzTarget.h"
#include "platform/base/Clock.h"
#include "platform/base/Debug.h"
#include "platform/io/AudioDriver.h"
#include "platform/io/RawDisk.h"
#include "sim/AudioProcessor.h"
#include "sim/Micom.h"

#include <algorithm>
#include <cstring>

WREN_FUZZ_TARGET(MicomBlock0)
{
    platform::DebugCapture quiet;
    platform::ManualClock clock; // the center's waits pass at once
    clock.SetSleepAdvances(true);
    if (size > kMicomBlock0Size + kMicomTextBlockSize)
        return 0;
    wrenfuzz::FuzzRoot("wren-fuzz-block0", {"NAND"});

    sim::CMicom::Block0 stored{};
    std::memcpy(stored.data(), data, std::min<std::size_t>(size, kMicomBlock0Size));
    const std::uint8_t* textBytes = size > kMicomBlock0Size ? data + kMicomBlock0Size : nullptr;
    const DWORD textSize = size > kMicomBlock0Size ? static_cast<DWORD>(size - kMicomBlock0Size) : 0;

    // The reader alone.
    BYTE block[kMicomBlock0Size];
    std::memcpy(block, stored.data(), kMicomBlock0Size);
    const DWORD sum = Block0Sum(block);
    const bool good = sum != 0 && platform::GetRawWord(block + kMicomBlock0SumOffset) == sum;
    const int check = AcceptBlock0(block);
    if (good) {
        FUZZ_CHECK(check == static_cast<int>(sum));
        FUZZ_CHECK(std::memcmp(block, stored.data(), kMicomBlock0Size) == 0);
    } else {
        FUZZ_CHECK(check == (sum == 0 ? 0 : -1));
        BYTE expected[kMicomBlock0Size];
        std::memcpy(expected, stored.data(), kMicomBlock0Size);
        DefaultBlock0(expected);
        FUZZ_CHECK(std::memcmp(block, expected, kMicomBlock0Size) == 0);
        FUZZ_CHECK(platform::GetRawWord(block + B0_VOLUME) == 2500);
        FUZZ_CHECK(std::memcmp(block + 44, stored.data() + 44, 20) == 0);
    }
    WCHAR text[kMicomTextChars];
    TakeMicomText(textBytes, textSize, text);
    FUZZ_CHECK(text[kMicomTextChars - 1] == 0);
    bool ended = textSize < kMicomTextBlockSize;
    for (int i = 0; i < kMicomTextChars; ++i) {
        const WCHAR c = ended ? 0 : static_cast<WCHAR>(textBytes[2 * i] | textBytes[2 * i + 1] << 8);
        if (c == 0 || i == kMicomTextChars - 1)
            ended = true;
        FUZZ_CHECK(text[i] == (ended ? 0 : c));
    }

    // The center on a micom holding the blocks.
    auto micom = sim::CMicom::Install();
    auto audio = sim::CAudioProcessor::Install();
    micom->PutBlock0(stored);
    GetUnitLink().OpenDevices();
    if (textSize == kMicomTextBlockSize)
        GetUnitLink().m_hMicom.IoctlIn(static_cast<DWORD>(MicomIoctl::WriteTextBlock),
                                       const_cast<std::uint8_t*>(textBytes), textSize);
    {
        CModelCenter center;
        center.SetInitialMute(TRUE);
        FUZZ_CHECK(center.Create());
        FUZZ_CHECK(GetBlock0CheckValue() == check);
        // The volumes come back clamped to their range; the rest as read.
        const BYTE* kept = center.GetBlock0();
        FUZZ_CHECK(std::memcmp(kept, block, B0_VOLUME) == 0);
        FUZZ_CHECK(std::memcmp(kept + B0_GUIDANCE, block + B0_GUIDANCE, kMicomBlock0SumOffset - B0_GUIDANCE) == 0);
        const int level = static_cast<int>(platform::GetRawWord(block + B0_VOLUME));
        FUZZ_CHECK(center.GetVolumeLevel() == std::clamp(level, 0, IxModelCenter::kMaxLevel));
        FUZZ_CHECK(std::equal(text, text + kMicomTextChars, GetMicomText()));
        FUZZ_CHECK(center.GetVolumeLevel() >= 0 && center.GetVolumeLevel() <= IxModelCenter::kMaxLevel);
        FUZZ_CHECK(audio->Value(AudioIoctl::MainVolume) <= kAudioVolumeSteps);
        FUZZ_CHECK(audio->Value(AudioIoctl::SecondVolume) <= kAudioVolumeSteps);
        center.devMute(FALSE);
        FUZZ_CHECK(audio->Value(AudioIoctl::MainVolume) >= 0);
        center.NecmicomLastStatusSend();
        const sim::CMicom::Block0 sent = micom->StoredBlock0();
        FUZZ_CHECK(platform::GetRawWord(sent.data() + kMicomBlock0SumOffset) == sim::CMicom::Block0Sum(sent));
        FUZZ_CHECK(std::memcmp(sent.data(), center.GetBlock0(), kMicomBlock0Size) == 0);
        center.Destroy();
    }
    GetUnitLink().CloseDevices();
    sim::CAudioProcessor::Uninstall();
    sim::CMicom::Uninstall();
    return 0;
}
