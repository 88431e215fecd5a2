// Last-status record files: load, rejection (header, size), defaults, save,
// failed and short writes, and a power cut at every step of a save.
#include "Source/models/LastStatusFile.h"

#include "Lib_cpp/core/Diag.h"
#include "platform/io/File.h"
#include "platform/io/Io.h"
#include "tests/common/TempUnit.h"
#include "tests/wren/ModelFixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<BYTE>;

constexpr const WCHAR* kPath = u"\\NAND\\DATA\\Wren_Test.reg";
constexpr DWORD kSize = 32;

Bytes Record(DWORD a, DWORD b, BYTE fill, DWORD size = kSize)
{
    Bytes r(size, fill);
    const DWORD header[4] = {16, 1, a, b};
    for (int w = 0; w < 4 && 4 * w + 4 <= static_cast<int>(size); ++w) {
        for (int i = 0; i < 4; ++i)
            r[4 * w + i] = static_cast<BYTE>(header[w] >> (8 * i));
    }
    return r;
}

// A record whose default payload is not zero, as the models' records have.
class PatternRecord : public LastStatusFile {
public:
    PatternRecord() : LastStatusFile(kSize, TRUE) {}

protected:
    void DefaultPayload(BYTE* payload, DWORD size) override { std::memset(payload, 0x5D, size); }
};

class LastStatusFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(unit.IsOpen());
        std::filesystem::create_directories(unit.Host("NAND/DATA"));
    }
    std::string Host(const char* name = "Wren_Test.reg") const { return unit.Host(std::string("NAND/DATA/") + name); }
    void Put(const Bytes& bytes, const char* name = "Wren_Test.reg") const
    {
        std::ofstream file(Host(name), std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    Bytes Get(const char* name = "Wren_Test.reg") const
    {
        std::ifstream file(Host(name), std::ios::binary);
        return Bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    }
    static Bytes Buffer(const LastStatusFile& r) { return Bytes(r.GetRecord(), r.GetRecord() + r.GetRecordSize()); }

    TempUnit unit{"wren-records"};
};

TEST_F(LastStatusFileTest, OnlyARecordOfItsSizeAndHeaderIsTaken)
{
    const Bytes good = Record(0, 8, 0x11);
    Bytes badVersion = good;
    badVersion[4] = 2;
    Bytes badHeaderSize = good;
    badHeaderSize[0] = 20;
    Bytes longer = good;
    longer.push_back(0);
    struct Case {
        const char* name;
        bool present;
        Bytes file;
        BOOL taken;
    } cases[] = {
        {"good", true, good, TRUE},
        {"missing", false, {}, FALSE},
        {"empty", true, {}, FALSE},
        {"one byte short", true, Bytes(good.begin(), good.end() - 1), FALSE},
        {"one byte long", true, longer, FALSE},
        {"other header words", true, Record(1, 8, 0x11), FALSE},
        {"other second word", true, Record(0, 9, 0x11), FALSE},
        {"other version", true, badVersion, FALSE},
        {"other header size", true, badHeaderSize, FALSE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(Host());
        if (c.present)
            Put(c.file);
        PatternRecord record;
        EXPECT_EQ(record.Load(kPath, 0, 8), c.taken);
        EXPECT_EQ(Buffer(record), c.taken ? good : Record(0, 8, 0x5D));
        // The file on disk is not touched by a rejection.
        EXPECT_EQ(std::filesystem::exists(Host()), c.present);
        if (c.present) {
            EXPECT_EQ(Get(), c.file);
        }
        // The next save replaces it whole.
        record.GetPayload()[0] = 0x42;
        ASSERT_TRUE(record.Save());
        EXPECT_EQ(Get(), Buffer(record));
        EXPECT_FALSE(std::filesystem::exists(Host("Wren_Test.reg.tmp")));
        PatternRecord again;
        EXPECT_TRUE(again.Load(kPath, 0, 8));
        EXPECT_EQ(again.GetPayload()[0], 0x42);
    }
}

TEST_F(LastStatusFileTest, SaveWithoutALoadedBufferOrFolderFails)
{
    LastStatusFile unloaded(kSize, TRUE);
    EXPECT_FALSE(unloaded.Save());
    LastStatusFile record(kSize, TRUE);
    EXPECT_FALSE(record.Load(u"\\NAND\\NOFOLDER\\Wren_Test.reg", 0, 8));
    EXPECT_EQ(Buffer(record), Record(0, 8, 0));
    EXPECT_FALSE(record.Save()); // the folder is missing: nothing is created
    LastStatusFile tiny(8, TRUE);
    EXPECT_FALSE(tiny.Load(kPath, 0, 8));
    EXPECT_EQ(tiny.GetRecord(), nullptr);
}

// The file layer of a save with a power cut: the step-th call (from 1) is
// where the power goes. A write at the cut puts only half its bytes down;
// after the cut nothing happens any more. Whatever was written but not yet
// synced when the power goes is torn (cut to half) on the medium, wherever
// it has been renamed to.
class PowerCut : public IxRecordFileOps {
public:
    explicit PowerCut(int step) : m_step(step) {}
    ~PowerCut() override
    {
        for (HANDLE h : m_open)
            CloseHandle(h);
    }

    HANDLE Create(LPCWSTR path) override
    {
        if (!Step())
            return INVALID_HANDLE_VALUE;
        HANDLE h = IxRecordFileOps::Create(path);
        if (h != INVALID_HANDLE_VALUE) {
            m_open.insert(h);
            m_names[h] = path;
            m_unsynced.insert(path);
        }
        return h;
    }
    BOOL Write(HANDLE file, const BYTE* data, DWORD size, DWORD* written) override
    {
        if (m_cut)
            return FALSE;
        if (++m_calls == m_step) {
            IxRecordFileOps::Write(file, data, size / 2, written);
            Cut();
            return FALSE;
        }
        return IxRecordFileOps::Write(file, data, size, written);
    }
    BOOL Flush(HANDLE file) override
    {
        if (!Step())
            return FALSE;
        const BOOL ok = IxRecordFileOps::Flush(file);
        if (ok)
            m_unsynced.erase(m_names[file]);
        return ok;
    }
    BOOL Close(HANDLE file) override
    {
        if (!Step())
            return FALSE;
        m_open.erase(file);
        return IxRecordFileOps::Close(file);
    }
    BOOL Delete(LPCWSTR path) override { return Step() && IxRecordFileOps::Delete(path); }
    BOOL Move(LPCWSTR from, LPCWSTR to) override
    {
        if (!Step())
            return FALSE;
        const BOOL ok = IxRecordFileOps::Move(from, to);
        if (ok && m_unsynced.erase(from))
            m_unsynced.insert(to);
        return ok;
    }
    bool WasCut() const { return m_cut; }

private:
    // Whether the step may go ahead; the step at the cut does not.
    bool Step()
    {
        if (m_cut)
            return false;
        if (++m_calls == m_step) {
            Cut();
            return false;
        }
        return true;
    }
    void Cut()
    {
        m_cut = true;
        for (const std::u16string& path : m_unsynced) {
            const std::string host = platform::HostPath(path.c_str(), true);
            if (!host.empty() && std::filesystem::exists(host))
                std::filesystem::resize_file(host, std::filesystem::file_size(host) / 2);
        }
    }

    int m_step;
    int m_calls = 0;
    bool m_cut = false;
    std::set<HANDLE> m_open;
    std::map<HANDLE, std::u16string> m_names;
    std::set<std::u16string> m_unsynced;
};

TEST_F(LastStatusFileTest, APowerCutAtAnyStepOfASaveLeavesTheOldOrTheNewRecord)
{
    const Bytes before = Record(0, 8, 0x01);
    Bytes after = Record(0, 8, 0x02);
    int cuts = 0;
    bool sawOld = false, sawNew = false;
    for (int step = 1;; ++step) {
        SCOPED_TRACE(modeltest::Say("power cut at step ", step));
        std::filesystem::remove(Host("Wren_Test.reg.tmp"));
        Put(before);
        bool cut = false;
        {
            PatternRecord record;
            ASSERT_TRUE(record.Load(kPath, 0, 8));
            std::memset(record.GetPayload(), 0x02, record.GetPayloadSize());
            PowerCut power(step);
            record.SetFileOps(&power);
            const BOOL saved = record.Save();
            cut = power.WasCut();
            EXPECT_EQ(saved, !cut);
        }
        // The unit starts again.
        PatternRecord reloaded;
        EXPECT_TRUE(reloaded.Load(kPath, 0, 8));
        const Bytes got = Buffer(reloaded);
        EXPECT_TRUE(got == before || got == after);
        sawOld |= got == before;
        sawNew |= got == after;
        // And the record is the one in place from then on.
        PatternRecord third;
        EXPECT_TRUE(third.Load(kPath, 0, 8));
        EXPECT_EQ(Buffer(third), got);
        if (!cut)
            break;
        ++cuts;
    }
    EXPECT_EQ(cuts, 6); // create, write, sync, close, remove, rename
    EXPECT_TRUE(sawOld);
    EXPECT_TRUE(sawNew);
}

// A file layer whose write puts down fewer bytes than asked, or fails.
class ShortWrite : public IxRecordFileOps {
public:
    explicit ShortWrite(bool fail) : m_fail(fail) {}
    BOOL Write(HANDLE file, const BYTE* data, DWORD size, DWORD* written) override
    {
        if (m_fail) {
            *written = 0;
            return FALSE;
        }
        return IxRecordFileOps::Write(file, data, size - 3, written);
    }

private:
    bool m_fail;
};

TEST_F(LastStatusFileTest, FailedOrShortWritesAreFailuresAndKeepTheOldRecord)
{
    for (bool fail : {true, false}) {
        SCOPED_TRACE(fail ? "failed write" : "short write");
        const Bytes old = Record(0, 8, 0x33);
        Put(old);
        PatternRecord record;
        ASSERT_TRUE(record.Load(kPath, 0, 8));
        record.GetPayload()[3] = 0x44;
        ShortWrite layer(fail);
        record.SetFileOps(&layer);
        EXPECT_FALSE(record.Save());
        EXPECT_EQ(Get(), old);
        EXPECT_FALSE(std::filesystem::exists(Host("Wren_Test.reg.tmp")));
        // The buffer keeps the change; the next save puts it down.
        record.SetFileOps(nullptr);
        EXPECT_TRUE(record.Save());
        EXPECT_EQ(Get()[16 + 3], 0x44);
    }
}

TEST_F(LastStatusFileTest, ACompleteTemporaryRecordIsTakenWhenTheRecordIsGone)
{
    // The cut fell between removing the old record and the rename.
    const Bytes fresh = Record(0, 8, 0x77);
    Put(fresh, "Wren_Test.reg.tmp");
    PatternRecord record;
    EXPECT_TRUE(record.Load(kPath, 0, 8));
    EXPECT_EQ(Buffer(record), fresh);
    EXPECT_EQ(Get(), fresh);
    EXPECT_FALSE(std::filesystem::exists(Host("Wren_Test.reg.tmp")));
    // A torn one is not.
    Put(Bytes(fresh.begin(), fresh.begin() + 20), "Wren_Test.reg.tmp");
    std::filesystem::remove(Host());
    PatternRecord torn;
    EXPECT_FALSE(torn.Load(kPath, 0, 8));
    EXPECT_EQ(Buffer(torn), Record(0, 8, 0x5D));
}

} // namespace
