// A picture decoder for the tests of the picture workers: it records every
// path it is asked for and can hold the workers inside Decode until the test
// opens its gate, so that a test decides exactly where a worker stands. The
// pictures it makes count themselves, so a test sees every one released.
#pragma once

#include "Lib_cpp/controls/ImageRequest.h"
#include "Lib_cpp/image/Image.h"
#include "platform/base/Text.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace frametest {

// A solid picture that counts the live ones.
class CountedImage : public IxColorImage {
public:
    CountedImage(COLORREF color, int width, int height, std::string source)
        : IxColorImage(color, width, height), source(std::move(source))
    {
        ++live;
    }
    const std::string source; // the path it was decoded from
    static inline std::atomic<int> live{0};

protected:
    ~CountedImage() override { --live; }
};

class GatedDecoder : public IxImageDecoder {
public:
    // Pictures of the colour below, or with real the file decoded for real
    // (IxDecodedImage) once the gate lets the worker through.
    explicit GatedDecoder(bool real = false) : m_real(real) {}

    IxImage* Decode(LPCWSTR path, int* width, int* height, int loadMode) override
    {
        const std::string source = platform::ToUtf8(path);
        std::unique_lock<std::mutex> lock(m_mutex);
        entered.push_back(source);
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return m_open; });
        const COLORREF shade = color;
        lock.unlock();
        IxImage* image = nullptr;
        if (m_real) {
            image = IxImageDecoder::Default()->Decode(path, width, height, loadMode);
        } else {
            // Result words that tell the pictures apart: the box plus 1000.
            image = new CountedImage(shade, *width, *height, source);
            *width += 1000;
            *height += 1000;
        }
        lock.lock();
        ++finished;
        m_changed.notify_all();
        return image;
    }

    void Close()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = false;
    }
    void SetColor(COLORREF value)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        color = value;
    }
    void Open()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    // Waits until count workers have entered Decode (a generous limit only
    // keeps a broken build from hanging).
    bool WaitEntered(std::size_t count)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(20), [&] { return entered.size() >= count; });
    }
    // Forgets what it saw and opens the gate.
    void Reset()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        entered.clear();
        finished = 0;
        m_open = true;
    }
    bool WaitFinished(int count)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(20), [&] { return finished >= count; });
    }
    std::vector<std::string> Entered()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return entered;
    }

private:
    COLORREF color = RGB(128, 128, 128);
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = true;
    bool m_real;
    std::vector<std::string> entered;
    int finished = 0;
};

} // namespace frametest
