// The loaders of the micom, the DVD deck micom and the DMB module refuse
// what their real counterparts would.
#include "sim/DmbModule.h"
#include "sim/DvdDeck.h"
#include "sim/Micom.h"

#include "platform/base/Error.h"
#include "platform/io/DmbDriver.h"
#include "platform/io/DvdDriver.h"
#include "platform/io/Io.h"
#include "platform/io/MicomDriver.h"
#include "platform/io/RawDisk.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

BOOL Control(HANDLE device, DWORD code, const void* in, DWORD inSize, BYTE* out = nullptr, DWORD outSize = 0)
{
    DWORD returned = 0;
    return DeviceIoControl(device, code, const_cast<void*>(in), inSize, out, outSize, &returned, nullptr);
}

HANDLE Open(LPCWSTR name)
{
    return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

TEST(MicomLoader, TakesOnlySoundRecordsInOrderAndAStoppedDownloadLeavesItHalfProgrammed)
{
    auto micom = sim::CMicom::Install();
    HANDLE nec = Open(u"NEC1:");
    const auto line = [&](const std::string& text) {
        BYTE answer[2] = {};
        const BOOL ok = Control(nec, static_cast<DWORD>(MicomIoctl::Upgrade), text.data(),
                                static_cast<DWORD>(text.size()), answer, sizeof(answer));
        return ok ? 0 : GetLastError();
    };
    EXPECT_EQ(ERROR_NOT_READY, line("S0030000FC")) << "before the start";
    ASSERT_TRUE(Control(nec, static_cast<DWORD>(MicomIoctl::UpgradeStart), nullptr, 0));
    EXPECT_EQ(ERROR_INVALID_DATA, line("S1050010AABB85")) << "data before the header";
    EXPECT_EQ(0u, line("S0030000FC"));
    EXPECT_EQ(ERROR_CRC, line("S1050010AABB86"));
    EXPECT_EQ(ERROR_INVALID_DATA, line("S1060010AABB85")) << "count";
    EXPECT_EQ(0u, line("S1050010AABB85"));
    EXPECT_EQ(ERROR_INVALID_DATA, line("S9030000FC")) << "an end this micom does not know";
    EXPECT_EQ(sim::CMicom::FirmwareState::Downloading, micom->State());
    // An end before the S7 record: the loader is left half-way.
    EXPECT_FALSE(Control(nec, static_cast<DWORD>(MicomIoctl::UpgradeEnd), nullptr, 0));
    EXPECT_EQ(sim::CMicom::FirmwareState::HalfProgrammed, micom->State());

    ASSERT_TRUE(Control(nec, static_cast<DWORD>(MicomIoctl::UpgradeStart), nullptr, 0));
    EXPECT_EQ(0u, line("S0030000FC"));
    EXPECT_EQ(0u, line("S1050010AABB85"));
    EXPECT_EQ(0u, line("S70500000000FA"));
    EXPECT_EQ(ERROR_INVALID_DATA, line("S1050010AABB85")) << "after the end record";
    EXPECT_TRUE(Control(nec, static_cast<DWORD>(MicomIoctl::UpgradeEnd), nullptr, 0));
    EXPECT_EQ(sim::CMicom::FirmwareState::Updated, micom->State());
    EXPECT_EQ(0xBB, micom->Firmware().at(0x11));

    // A reset in the middle of a download.
    ASSERT_TRUE(Control(nec, static_cast<DWORD>(MicomIoctl::UpgradeStart), nullptr, 0));
    EXPECT_TRUE(Control(nec, static_cast<DWORD>(MicomIoctl::Reset), nullptr, 0));
    EXPECT_EQ(sim::CMicom::FirmwareState::HalfProgrammed, micom->State());
    CloseHandle(nec);
    sim::CMicom::Uninstall();
}

TEST(DvdDeckLoader, TakesBlocksInOrderAndOnlyAWholeImage)
{
    auto deck = sim::CDvdDeck::Install();
    HANDLE dvd = Open(u"DVD1:");
    const auto control = [&](DvdMicomUpgradeControl value) {
        const BYTE byte = static_cast<BYTE>(value);
        return Control(dvd, static_cast<DWORD>(DvdIoctl::MicomUpgradeControl), &byte, 1);
    };
    const auto block = [&](int index, DWORD size = kDvdMicomBlockRecordBytes) {
        std::vector<BYTE> record(kDvdMicomBlockRecordBytes, static_cast<BYTE>(index));
        return Control(dvd, static_cast<DWORD>(DvdIoctl::MicomUpgradeData), record.data(), size);
    };
    EXPECT_FALSE(block(0)) << "before the start";
    ASSERT_TRUE(control(DvdMicomUpgradeControl::Start));
    EXPECT_FALSE(block(0, 64)) << "a short record";
    EXPECT_TRUE(block(0));
    EXPECT_TRUE(block(0)) << "the same block again";
    EXPECT_FALSE(block(2)) << "a block skipped";
    EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
    EXPECT_FALSE(control(DvdMicomUpgradeControl::End));
    EXPECT_EQ(sim::CDvdDeck::FirmwareState::HalfProgrammed, deck->State());
    EXPECT_TRUE(deck->Firmware().empty());
    CloseHandle(dvd);
    sim::CDvdDeck::Uninstall();
}

TEST(DmbLoader, AnswersOnlyWholeFramesOfItsProtocolOnceInItsLoader)
{
    auto module = sim::CDmbModule::Install();
    HANDLE dmb = Open(u"DMB1:");
    const auto send = [&](std::vector<DWORD> words) {
        std::vector<BYTE> bytes(4 * words.size());
        for (std::size_t i = 0; i < words.size(); ++i)
            platform::PutRawWord(bytes.data() + 4 * i, words[i]);
        DWORD written = 0;
        WriteFile(dmb, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    };
    const auto answer = [&]() -> DWORD {
        BYTE bytes[8] = {};
        DWORD read = 0;
        if (!ReadFile(dmb, bytes, sizeof(bytes), &read, nullptr))
            return 0;
        return platform::GetRawWord(bytes);
    };
    const auto word = [](DmbFrameType type, int sequence, DmbCommand id, int count) {
        return DmbFrameWord{static_cast<BYTE>(type), static_cast<BYTE>(sequence), static_cast<BYTE>(id),
                            static_cast<WORD>(count)}
            .ToWord();
    };
    // The application does not answer the loader's commands.
    send({word(DmbFrameType::Command, 1, DmbCommand::Reboot, 0)});
    EXPECT_EQ(0u, answer());
    EXPECT_EQ(ERROR_TIMEOUT, GetLastError());
    ASSERT_TRUE(Control(dmb, static_cast<DWORD>(DmbIoctl::UpgradeReady), nullptr, 0));
    send({word(DmbFrameType::Command, 2, DmbCommand::Reboot, 0)});
    EXPECT_EQ(word(DmbFrameType::Response, 2, DmbCommand::Reboot, 1), answer());
    // A count that does not match the frame, a frame of the wrong type.
    send({word(DmbFrameType::Command, 3, DmbCommand::BootCheck, 2), 12});
    EXPECT_EQ(0u, answer());
    send({word(DmbFrameType::Response, 3, DmbCommand::BootCheck, 1), 12});
    EXPECT_EQ(0u, answer());
    // An image larger than the module, then one it takes.
    send({word(DmbFrameType::Command, 3, DmbCommand::BootCheck, 1), sim::CDmbModule::kCapacity + 1});
    EXPECT_EQ(word(DmbFrameType::Error, 3, DmbCommand::BootCheck, 0), answer());
    send({word(DmbFrameType::Command, 4, DmbCommand::BootCheck, 1), 12});
    EXPECT_EQ(word(DmbFrameType::Response, 4, DmbCommand::BootCheck, 0), answer());
    // A block whose checksum does not hold is refused and not stored.
    send({word(DmbFrameType::Command, 5, DmbCommand::ImageData, 4), 1, 2, 3, 0});
    EXPECT_EQ(word(DmbFrameType::Error, 5, DmbCommand::ImageData, 0), answer());
    EXPECT_TRUE(module->ReceivedImage().empty());
    send({word(DmbFrameType::Command, 6, DmbCommand::ImageData, 4), 1, 2, 3, 0u - 6});
    EXPECT_EQ(word(DmbFrameType::Response, 6, DmbCommand::ImageData, 0), answer());
    EXPECT_EQ(12u, module->ReceivedImage().size());
    // A write before a good check is refused.
    send({word(DmbFrameType::Command, 7, DmbCommand::ImageWrite, 0)});
    EXPECT_EQ(word(DmbFrameType::Error, 7, DmbCommand::ImageWrite, 0), answer());
    EXPECT_TRUE(module->Flash().empty());
    CloseHandle(dmb);
    sim::CDmbModule::Uninstall();
}

} // namespace
