#include "Lib_cpp/fs/FileThreads.h"

#include "Lib_cpp/controls/Element.h"
#include "Lib_cpp/core/App.h"
#include "Lib_cpp/core/Window.h"
#include "Lib_cpp/frame/KernelFrame.h"
#include "Lib_cpp/fs/FileChangeRefresh.h"
#include "Lib_cpp/fs/FileSystem.h"
#include "Lib_cpp/kernel/Kernel.h"
#include "platform/base/Clock.h"
#include "platform/base/Text.h"
#include "platform/io/File.h"
#include "platform/os/Thread.h"
#include "platform/ui/Window.h"

#include "tests/common/FrameWindow.h"
#include "tests/common/TempUnit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string Utf8(LPCWSTR text)
{
    return platform::ToUtf8(text ? text : u"");
}

class TestApp : public IxApp {
public:
    TestApp() : IxApp(u"FsThreadsTestClass") {}
    HWND InitInstance() override { return nullptr; }
};

struct Event {
    int code;
    int kind;
    LPARAM value;
};

// Records the actions the kernel delivers to listeners.
class Recorder : public IxElement {
public:
    int ActionIsInvoked(int code, int kind, LPARAM value) override
    {
        events.push_back({code, kind, value});
        if (onAction)
            onAction(code, kind, value);
        return 0;
    }
    void Draw(IxPaintRecord*) override {}
    std::vector<Event> events;
    std::function<void(int, int, LPARAM)> onAction;
};

struct Listener : IxFileListener {
    void OnFileChanges(const IxFileChangeList& changes) override
    {
        threads.push_back(GetCurrentThreadId());
        for (int i = 0; i < changes.Count(); ++i)
            seen.push_back(std::to_string(changes[i].nKind) + " " + Utf8(changes[i].strPath.Text()));
    }
    void OnFileChangesDone() override { ++done; }
    std::vector<std::string> seen;
    std::vector<DWORD> threads;
    int done = 0;
};

// A main window with the kernel, a temporary unit with \HDD, and a recorder
// listening to the file threads' targets.
class FileThreadsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(unit.Host("HDD/Src"));
        IxFrameWnd* window = frametest::OpenFrameWindow(u"FsThreadsTestClass");
        ASSERT_NE(window, nullptr);
        hwnd = window->GetHandle();
        kernel = IxGetKernel();
        ASSERT_NE(kernel, nullptr);
        kernel->AddListener(kFilter, &recorder);
        Pump();
    }
    void TearDown() override
    {
        files.DeleteJob();
        frametest::CloseFrameWindow(hwnd, u"FsThreadsTestClass");
    }

    void Pump()
    {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    // Pumps until the condition holds or a generous real time has passed.
    bool PumpUntil(const std::function<bool()>& done)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            Pump();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        Pump();
        return true;
    }
    bool HasEvent(int code, int kind) const
    {
        return std::any_of(recorder.events.begin(), recorder.events.end(),
                           [&](const Event& e) { return e.code == code && e.kind == kind; });
    }
    std::vector<int> Kinds(int code) const
    {
        std::vector<int> kinds;
        for (const Event& e : recorder.events) {
            if (e.code == code)
                kinds.push_back(e.kind);
        }
        return kinds;
    }
    void Write(const std::string& relative, std::size_t bytes = 4)
    {
        fs::create_directories(fs::path(unit.Host(relative)).parent_path());
        std::ofstream(unit.Host(relative), std::ios::binary) << std::string(bytes, 'x');
    }
    bool JobEnded() const { return HasEvent(53, 12) || HasEvent(53, 13) || HasEvent(53, 14); }

    static constexpr DWORD kFilter[] = {35, 53, 54, 0}; // the three targets, every kind
    TempUnit unit{"wren-fsthreads"};
    TestApp app;
    HWND hwnd = nullptr;
    IxKernel* kernel = nullptr;
    Recorder recorder;
    IxFileSystem files;
};

// ---- the watcher ----

std::multiset<std::string> Notices(IxFileWatcher& watcher)
{
    std::multiset<std::string> out;
    IxFileNoticeList* list = watcher.LockNotices();
    for (int i = 0; i < list->Count(); ++i)
        out.insert(std::to_string((*list)[i].nKind) + " " + Utf8((*list)[i].strPath.Text()));
    watcher.UnlockNotices();
    return out;
}

TEST_F(FileThreadsTest, WatcherMergesABurstIntoOneNoticePerPath)
{
    auto* target = new IxNotifyTarget(35);
    IxFileWatcher watcher(target, IXWATCH_FILES, FALSE, TRUE);
    target->Release();
    // Without its '\': the watcher adds it between the folder and the names.
    ASSERT_TRUE(watcher.Start(u"\\HDD\\Src", 3));
    std::multiset<std::string> expected;
    for (int i = 0; i < 30; ++i) {
        const std::string name = "f" + std::to_string(i) + ".mp3";
        Write("HDD/Src/" + name);
        expected.insert("4 \\HDD\\Src\\" + name);
    }
    // Appeared and vanished before anyone read: no notice; twice: one.
    Write("HDD/Src/gone.mp3");
    fs::remove(unit.Host("HDD/Src/gone.mp3"));
    Write("HDD/Src/twice.mp3");
    fs::remove(unit.Host("HDD/Src/twice.mp3"));
    Write("HDD/Src/twice.mp3");
    expected.insert("4 \\HDD\\Src\\twice.mp3");
    fs::create_directory(unit.Host("HDD/Src/folder")); // not a file name
    Write("HDD/Src/zz.mp3");                           // the end of the burst
    expected.insert("4 \\HDD\\Src\\zz.mp3");

    // The watcher merges what it holds; a read may fall between two halves
    // of the burst, so the reads are folded: a name that appeared and then
    // vanished in a later read leaves nothing.
    std::set<std::string> seen;
    ASSERT_TRUE(PumpUntil([&] {
        for (const std::string& n : Notices(watcher)) {
            const std::string name = n.substr(2);
            if (n[0] == '3' && seen.erase("4 " + name))
                continue;
            seen.insert(n);
        }
        return seen.count("4 \\HDD\\Src\\zz.mp3") > 0;
    }));
    EXPECT_EQ(seen, std::set<std::string>(expected.begin(), expected.end()));
    EXPECT_TRUE(HasEvent(35, IXFS_EV_PROGRESS));
    EXPECT_EQ(recorder.events.front().value, reinterpret_cast<LPARAM>(&watcher));

    fs::remove(unit.Host("HDD/Src/f0.mp3"));
    std::multiset<std::string> removed;
    ASSERT_TRUE(PumpUntil([&] { return !(removed = Notices(watcher)).empty(); }));
    EXPECT_EQ(removed, (std::multiset<std::string>{"3 \\HDD\\Src\\f0.mp3"}));
    watcher.Stop();
    EXPECT_TRUE(watcher.GetPath().IsEmpty());
    EXPECT_FALSE(watcher.IsRunning());
}

TEST_F(FileThreadsTest, WatcherWithoutDetailReportsTheFolderAndFailsOnMissingOnes)
{
    IxFileWatcher watcher(nullptr, IXWATCH_FOLDERS, FALSE, FALSE);
    EXPECT_FALSE(watcher.Start(u"\\HDD\\Missing"));
    ASSERT_TRUE(watcher.Start(u"\\HDD\\"));
    fs::create_directory(unit.Host("HDD/Card"));
    fs::create_directory(unit.Host("HDD/Card2"));
    std::multiset<std::string> seen;
    ASSERT_TRUE(PumpUntil([&] { return !(seen = Notices(watcher)).empty(); }));
    EXPECT_EQ(seen, (std::multiset<std::string>{"0 \\HDD\\"}));
}

// ---- the scan ----

class ScanTest : public FileThreadsTest {
protected:
    void SetUp() override
    {
        FileThreadsTest::SetUp();
        for (const char* path :
             {"Root/b.mp3", "Root/A.mp3", "Root/c.wav", "Root/Lovely Day.MP3", "Root/glove.wav", "Root/hidden.mp3",
              "Root/Sub2/z.mp3", "Root/Sub1/y.mp3", "Root/Sub1/Deep/x.mp3", "Root/Sub1/Deep/love.txt"})
            Write(std::string("HDD/") + path);
        SetFileAttributesW(u"\\HDD\\Root\\hidden.mp3", FILE_ATTRIBUTE_HIDDEN);
    }
    std::vector<std::string> Results(IxScanThread& scan)
    {
        std::vector<std::string> out;
        scan.LockResults();
        for (int i = 0; i < scan.GetResults().Count(); ++i)
            out.push_back(Utf8(scan.GetResults().TextAt(i)).substr(9)); // without "\HDD\Root"
        scan.UnlockResults();
        return out;
    }
};

TEST_F(ScanTest, SortedAndUnsortedWalksWithKeywordMaximumAndDepth)
{
    IxScanThread scan(100, nullptr, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    const LPCWSTR audio[] = {u"mp3", u"wav"};
    const LPCWSTR mp3[] = {u"mp3"};
    using Paths = std::vector<std::string>;
    struct Case {
        const char* what;
        BOOL sorted;
        LPCWSTR keyword;
        const LPCWSTR* exts;
        int count, depth, maximum;
        Paths expected;
    } cases[] = {
        {"sorted, every level",
         TRUE,
         nullptr,
         audio,
         2,
         -1,
         100,
         {"\\A.mp3", "\\Lovely Day.MP3", "\\b.mp3", "\\c.wav", "\\glove.wav", "\\Sub1\\y.mp3", "\\Sub1\\Deep\\x.mp3",
          "\\Sub2\\z.mp3"}},
        {"sorted, root only",
         TRUE,
         nullptr,
         audio,
         2,
         0,
         100,
         {"\\A.mp3", "\\Lovely Day.MP3", "\\b.mp3", "\\c.wav", "\\glove.wav"}},
        {"sorted, one level",
         TRUE,
         nullptr,
         mp3,
         1,
         1,
         100,
         {"\\A.mp3", "\\Lovely Day.MP3", "\\b.mp3", "\\Sub1\\y.mp3", "\\Sub2\\z.mp3"}},
        {"keyword", TRUE, u"LOVE", mp3, 1, -1, 100, {"\\Lovely Day.MP3"}},
        {"keyword, every extension",
         FALSE,
         u"love",
         nullptr,
         0,
         -1,
         100,
         {"\\Lovely Day.MP3", "\\glove.wav", "\\Sub1\\Deep\\love.txt"}},
        {"maximum across folders",
         TRUE,
         nullptr,
         mp3,
         1,
         -1,
         4,
         {"\\A.mp3", "\\Lovely Day.MP3", "\\b.mp3", "\\Sub1\\y.mp3"}},
        {"unsorted maximum", FALSE, nullptr, mp3, 1, -1, 2, {"\\A.mp3", "\\Lovely Day.MP3"}},
    };
    for (const Case& c : cases) {
        scan.SetSorted(c.sorted);
        scan.SetKeyword(c.keyword);
        ASSERT_TRUE(scan.Scan(u"\\HDD\\Root", c.exts, c.count, c.depth, -1, c.maximum)) << c.what;
        Paths got = Results(scan);
        if (!c.sorted) { // listing order is the platform's: compare as sets
            std::sort(got.begin(), got.end());
            Paths expected = c.expected;
            std::sort(expected.begin(), expected.end());
            if (c.maximum < 100) {
                EXPECT_EQ(got.size(), static_cast<std::size_t>(c.maximum)) << c.what;
                continue;
            }
            EXPECT_EQ(got, expected) << c.what;
        } else {
            EXPECT_EQ(got, c.expected) << c.what;
        }
    }
    EXPECT_FALSE(scan.Scan(u"\\HDD\\Missing", nullptr, 0, -1, -1));
    EXPECT_TRUE(scan.HasFailed());
}

// A folder link back to its own folder (or a parent) is walked into once at
// most: every file comes once, sorted or not, whatever the maximum.
TEST_F(FileThreadsTest, WalksNeverEnterTheSameFolderTwice)
{
    Write("HDD/Loop/song.mp3");
    Write("HDD/Loop/Sub/other.mp3");
    fs::create_directory_symlink(".", unit.Host("HDD/Loop/again"));
    fs::create_directory_symlink("..", unit.Host("HDD/Loop/Sub/up"));
    const LPCWSTR mp3[] = {u"mp3"};
    for (BOOL sorted : {FALSE, TRUE}) {
        SCOPED_TRACE(sorted);
        IxScanThread scan(100, nullptr, 0);
        scan.SetSorted(sorted);
        ASSERT_TRUE(scan.Scan(u"\\HDD\\Loop", mp3, 1, -1, -1, 1000));
        std::multiset<std::string> found;
        scan.LockResults();
        for (int i = 0; i < scan.GetResults().Count(); ++i)
            found.insert(Utf8(scan.GetResults().TextAt(i)));
        scan.UnlockResults();
        EXPECT_EQ(found.size(), 2u);
        EXPECT_EQ(found.count("\\HDD\\Loop\\song.mp3"), 1u);
    }

    // A copy job over the same tree copies each file once.
    fs::create_directories(unit.Host("HDD/Dst"));
    IxStringArray folders;
    folders.AddText(u"Loop");
    ASSERT_TRUE(files.StartJob(IXJOB_COPY, u"\\HDD", &folders, nullptr, u"\\HDD\\Dst", nullptr, 0));
    EXPECT_EQ(files.GetJob()->GetFileCount(), 2);
    files.GetJob()->Reset(IXJOB_COPY);
    // And a delete job removes each file once.
    ASSERT_TRUE(files.StartJob(IXJOB_DELETE, u"\\HDD", &folders, nullptr, nullptr, nullptr, 0));
    EXPECT_EQ(files.GetJob()->GetFileCount(), 2);
    files.GetJob()->Reset(IXJOB_DELETE);
}

TEST_F(ScanTest, ThreadReportsBeginThrottledProgressAndCompletion)
{
    platform::ManualClock clock;
    auto* target = new IxNotifyTarget(54);
    IxScanThread scan(100, target, 6);
    target->Release();
    scan.SetSorted(TRUE);
    const LPCWSTR mp3[] = {u"mp3"};
    // The scan waits for the result lock after its begin: the clock moves
    // meanwhile, so exactly the first folder reports progress.
    scan.LockResults();
    ASSERT_TRUE(scan.Start(u"\\HDD\\Root", mp3, 1, 3));
    ASSERT_TRUE(PumpUntil([&] { return HasEvent(54, IXFS_EV_BEGIN); }));
    clock.Advance(501);
    scan.UnlockResults();
    ASSERT_TRUE(PumpUntil([&] { return HasEvent(54, IXFS_EV_COMPLETE); }));
    EXPECT_EQ(Kinds(54), (std::vector<int>{IXFS_EV_BEGIN, IXFS_EV_PROGRESS, IXFS_EV_COMPLETE}));
    EXPECT_EQ(recorder.events.back().value, reinterpret_cast<LPARAM>(&scan));
    EXPECT_EQ(Results(scan).size(), 6u);

    // Restarted, then cancelled by its owner: the cancel reports the stop.
    recorder.events.clear();
    scan.LockResults();
    ASSERT_TRUE(scan.Start(u"\\HDD\\Root", mp3, 1, 3));
    ASSERT_TRUE(PumpUntil([&] { return HasEvent(54, IXFS_EV_BEGIN); }));
    scan.RequestStop(); // what the cancel asks, while the scan still waits
    scan.UnlockResults();
    IxFsThread::Cancel(&scan, 3000);
    ASSERT_TRUE(PumpUntil([&] { return HasEvent(54, IXFS_EV_STOPPED); }));
    EXPECT_FALSE(HasEvent(54, IXFS_EV_COMPLETE));
}

// ---- copy jobs ----

TEST_F(FileThreadsTest, CopyJobReportsItsStepsAndRefreshesOnTheInterfaceThread)
{
    platform::ManualClock clock; // no progress events: the clock stands still
    Write("HDD/Src/a.mp3", 100);
    Write("HDD/Src/Album/b.mp3", 200);
    Write("HDD/Src/Album/c.txt", 300);
    Write("HDD/Src/Album/Inner/d.mp3", 50);
    fs::create_directories(unit.Host("HDD/Dst"));
    Listener listener;
    files.AddListener(&listener);
    files.Expand(files.AddRoot(nullptr, u"\\HDD"), 4);

    IxStringArray folders, names;
    folders.AddText(u"Album");
    names.AddText(u"a.mp3");
    const LPCWSTR mp3[] = {u"mp3"};
    ASSERT_TRUE(files.StartJob(IXJOB_COPY, u"\\HDD\\Src", &folders, &names, u"\\HDD\\Dst", mp3, 1));
    IxFileJob* job = files.GetJob();
    EXPECT_EQ(job->GetFileCount(), 3);
    EXPECT_EQ(job->GetTotalBytes(), 350u);
    EXPECT_EQ(files.GetRefreshList().Count(), 2);
    ASSERT_TRUE(job->Start(100, 3));
    ASSERT_TRUE(PumpUntil([&] { return JobEnded(); }));

    // Start, then per step: folder made (15) or file (10); the end (12).
    EXPECT_EQ(Kinds(53), (std::vector<int>{8, 10, 15, 10, 15, 10, 12}));
    EXPECT_EQ(recorder.events.front().value, MAKELONG(3, 0));
    EXPECT_EQ(recorder.events.back().value, MAKELONG(3, 0));
    EXPECT_EQ(job->GetState(), IXJOBSTATE_ENDED);
    EXPECT_EQ(fs::file_size(unit.Host("HDD/Dst/Album/Inner/d.mp3")), 50u);
    EXPECT_FALSE(fs::exists(unit.Host("HDD/Dst/Album/c.txt")));
    EXPECT_TRUE(fs::exists(unit.Host("HDD/Src/a.mp3")));
    // The tree was refreshed by the delivered action, on this thread.
    EXPECT_EQ(listener.seen, (std::vector<std::string>{"4 \\HDD\\Dst\\a.mp3", "4 \\HDD\\Dst\\Album"}));
    EXPECT_EQ(listener.threads, (std::vector<DWORD>{GetCurrentThreadId()}));
    EXPECT_EQ(files.GetRefreshList().Count(), 0);
    files.RemoveListener(&listener);
}

TEST_F(FileThreadsTest, MoveAndDeleteKeepWatchedFolders)
{
    Write("HDD/Src/Tree/a.mp3");
    Write("HDD/Src/Tree/Sub/b.mp3");
    Write("HDD/Src/Tree/Watched/c.mp3");
    fs::create_directories(unit.Host("HDD/Dst"));
    files.Expand(files.AddRoot(nullptr, u"\\HDD"), 4);
    files.FindNode(u"\\HDD\\Src\\Tree\\Watched")->m_dwFlags |= IXFN_WATCHED;
    IxStringArray folders;
    folders.AddText(u"Tree");

    ASSERT_TRUE(files.StartJob(IXJOB_MOVE, u"\\HDD\\Src\\", &folders, nullptr, u"\\HDD\\Dst\\", nullptr, 0));
    IxFileJob* job = files.GetJob();
    // Folders are made before their files and removed after their contents.
    std::vector<std::string> steps;
    for (int i = 0; i < job->GetStepCount(); ++i)
        steps.push_back(Utf8(job->GetSources().TextAt(i)) + " > " + Utf8(job->GetDestinations().TextAt(i)));
    EXPECT_EQ(steps,
              (std::vector<std::string>{
                  " > \\HDD\\Dst\\Tree\\",
                  "\\HDD\\Src\\Tree\\a.mp3 > \\HDD\\Dst\\Tree\\a.mp3",
                  " > \\HDD\\Dst\\Tree\\Sub\\",
                  "\\HDD\\Src\\Tree\\Sub\\b.mp3 > \\HDD\\Dst\\Tree\\Sub\\b.mp3",
                  "\\HDD\\Src\\Tree\\Sub\\ > ",
                  " > \\HDD\\Dst\\Tree\\Watched\\",
                  "\\HDD\\Src\\Tree\\Watched\\c.mp3 > \\HDD\\Dst\\Tree\\Watched\\c.mp3",
                  "\\HDD\\Src\\Tree\\ > ",
              }));
    ASSERT_TRUE(job->Start(0, 3));
    ASSERT_TRUE(PumpUntil([&] { return JobEnded(); }));
    EXPECT_EQ(Kinds(53), (std::vector<int>{15, 10, 15, 10, 16, 15, 10, 12}));
    EXPECT_EQ(recorder.events.back().value, MAKELONG(3, 1)); // three files, one folder removed
    EXPECT_TRUE(fs::exists(unit.Host("HDD/Dst/Tree/Sub/b.mp3")));
    EXPECT_TRUE(fs::exists(unit.Host("HDD/Src/Tree/Watched")));
    EXPECT_FALSE(fs::exists(unit.Host("HDD/Src/Tree/Sub")));

    recorder.events.clear();
    ASSERT_TRUE(files.StartJob(IXJOB_DELETE, u"\\HDD\\Dst", &folders, nullptr, nullptr, nullptr, 0));
    ASSERT_TRUE(files.GetJob()->Start(0, 3));
    ASSERT_TRUE(PumpUntil([&] { return JobEnded(); }));
    EXPECT_EQ(Kinds(53), (std::vector<int>{10, 10, 16, 10, 16, 16, 12}));
    EXPECT_FALSE(fs::exists(unit.Host("HDD/Dst/Tree")));
}

TEST_F(FileThreadsTest, CancelledCopyLeavesNoHalfWrittenTarget)
{
    fs::create_directories(unit.Host("HDD/Dst"));
    {
        std::ofstream big(unit.Host("HDD/Src/big.bin"), std::ios::binary);
        big.seekp(96 * 1024 * 1024 - 1);
        big.put('x');
    }
    Write("HDD/Src/small.bin", 10);
    Listener listener;
    files.AddListener(&listener);
    files.Expand(files.AddRoot(nullptr, u"\\HDD"), 2);
    IxStringArray names;
    names.AddText(u"big.bin");
    names.AddText(u"small.bin");
    ASSERT_TRUE(files.StartJob(IXJOB_COPY, u"\\HDD\\Src", nullptr, &names, u"\\HDD\\Dst", nullptr, 0));
    IxFileJob* job = files.GetJob();
    ASSERT_TRUE(job->Start(0, 3));
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (job->GetBytesDone() == 0 && std::chrono::steady_clock::now() < end)
        std::this_thread::yield();
    job->Cancel(3000);
    EXPECT_EQ(job->GetState(), IXJOBSTATE_ENDED);
    EXPECT_FALSE(job->IsRunning());
    EXPECT_FALSE(fs::exists(unit.Host("HDD/Dst/big.bin")));
    EXPECT_FALSE(fs::exists(unit.Host("HDD/Dst/small.bin")));
    EXPECT_TRUE(fs::is_empty(unit.Host("HDD/Dst")));
    EXPECT_EQ(files.GetRefreshList().Count(), 0);
    ASSERT_TRUE(PumpUntil([&] { return JobEnded(); }));
    EXPECT_EQ(Kinds(53), (std::vector<int>{10, 13}));
    EXPECT_EQ(recorder.events.back().value, MAKELONG(0, 0));
    files.RemoveListener(&listener);
}

TEST_F(FileThreadsTest, FailedJobClearsTheRefreshListSoNoticesWorkAgain)
{
    Write("HDD/Src/a.mp3", 10);
    Write("HDD/Dst/a.mp3", 3);
    Listener listener;
    files.AddListener(&listener);
    files.Expand(files.AddRoot(nullptr, u"\\HDD"), 2);
    IxStringArray names;
    names.AddText(u"a.mp3");
    ASSERT_TRUE(files.StartJob(IXJOB_COPY, u"\\HDD\\Src", nullptr, &names, u"\\HDD\\Dst", nullptr, 0));
    files.GetJob()->SetNoOverwrite(TRUE);
    ASSERT_TRUE(files.GetJob()->Start(0, 3));
    ASSERT_TRUE(PumpUntil([&] { return JobEnded(); }));
    EXPECT_EQ(Kinds(53), (std::vector<int>{10, 14}));
    EXPECT_EQ(recorder.events.back().value, static_cast<LPARAM>(ERROR_FILE_EXISTS));
    EXPECT_EQ(files.GetJob()->GetState(), IXJOBSTATE_FAILED);
    EXPECT_EQ(files.GetJob()->GetError(), ERROR_FILE_EXISTS);
    EXPECT_EQ(files.GetRefreshList().Count(), 0);

    Write("HDD/Src/b.mp3");
    IxStringArray paths;
    paths.AddText(u"\\HDD\\Src");
    files.UpdateByNotification(paths);
    EXPECT_EQ(listener.seen, (std::vector<std::string>{"4 \\HDD\\Src\\b.mp3"}));
    files.RemoveListener(&listener);
}

} // namespace

namespace {

// ---- the kernel frame's refresh ----

TEST_F(FileThreadsTest, FrameRefreshesTheFileSystemOnceAfterABurstOfNotices)
{
    Write("HDD/Music/a.mp3");
    IxFileSystem* shared = IxFileSystem::GetInstance();
    Listener listener;
    shared->AddListener(&listener);
    IxFolderNode* root = shared->AddRoot(nullptr, u"\\HDD");
    shared->Expand(root, 2);

    auto* frame = static_cast<IxKernelFrame*>(kernel->GetHost());
    auto* target = new IxNotifyTarget(51);
    auto* watcher = new IxFileWatcher(target, IXWATCH_FILES, FALSE, TRUE);
    target->Release();
    ASSERT_TRUE(watcher->Start(u"\\HDD\\Music"));
    IxFileChangeRefresh* refresh = IxFileChangeRefresh::Of(frame);
    ASSERT_NE(refresh, nullptr);
    ASSERT_TRUE(refresh->AddWatcher(watcher));

    platform::ManualClock clock;
    Write("HDD/Music/b.mp3");
    Write("HDD/Music/c.mp3");
    // The notices start the frame's delay; nothing is refreshed before it ends.
    ASSERT_TRUE(PumpUntil([&] { return frame->GetTimers().Count() > 0; }));
    EXPECT_TRUE(listener.seen.empty());
    // The second file's notice may come after the first delay ran out.
    ASSERT_TRUE(PumpUntil([&] {
        clock.Advance(500);
        return listener.seen.size() >= 2;
    }));
    std::multiset<std::string> seen(listener.seen.begin(), listener.seen.end());
    EXPECT_EQ(seen, (std::multiset<std::string>{"4 \\HDD\\Music\\b.mp3", "4 \\HDD\\Music\\c.mp3"}));
    EXPECT_TRUE(Notices(*watcher).empty());

    shared->RemoveListener(&listener);
    shared->RemoveRoot(root);
}

} // namespace
