#include "Lib_cpp/controls/ImageLoader.h"

#include "Lib_cpp/controls/ImageRequest.h"
#include "Lib_cpp/core/ActionCodes.h"
#include "Lib_cpp/core/Notify.h"
#include "Lib_cpp/image/Image.h"
#include "platform/base/Clock.h"
#include "platform/os/Sync.h"

#include <new>

namespace {

// The loader's thread priority: the lowest, so that drawing and input come first.
constexpr int kLoaderPriority = 7;

} // namespace

IxImageLoader::IxImageLoader(WORD notifyId, IxImageDecoder* decoder)
    : m_wNotifyId(notifyId), m_pDecoder(decoder ? decoder : IxImageDecoder::Default())
{
    IxInitLock(&m_lock);
}

IxImageLoader::~IxImageLoader()
{
    EndThread();
    for (int i = m_queue.Count() - 1; i >= 0; --i)
        Remove(i);
    DeleteCriticalSection(&m_lock);
}

IxImageLoader& IxImageLoader::Get()
{
    static IxImageLoader loader(IXA_PICTUREREADY);
    return loader;
}

void IxImageLoader::Wake()
{
    Start(kLoaderPriority);
}

void IxImageLoader::Remove(int index)
{
    Request* request = m_queue[index];
    if (request->pImage)
        request->pImage->Release();
    delete request;
    m_queue.RemoveAt(index);
}

BOOL IxImageLoader::Enqueue(IxElement* control, const IxString& path, int width, int height)
{
    BOOL stored;
    {
        Lock();
        CancelRequests(control);
        auto* request
            = new (std::nothrow) Request{control, IxElementRef(control), path, width, height, m_dwNextSerial++};
        stored = request && m_queue.Add(request);
        if (!stored)
            delete request;
        Unlock();
    }
    Wake();
    return stored;
}

void IxImageLoader::CancelRequests(IxElement* control)
{
    for (int i = 0; i < m_queue.Count(); ++i) {
        Request* request = m_queue[i];
        if (request->pControl != control)
            continue;
        request->pControl = nullptr;
        if (request->pImage)
            request->pImage->Release();
        request->pImage = nullptr;
    }
}

void IxImageLoader::CancelAndWake(IxElement* control)
{
    Lock();
    CancelRequests(control);
    Unlock();
    Wake();
}

IxImage* IxImageLoader::TakeResult(IxElement* control, BOOL* taken)
{
    IxImage* image = nullptr;
    if (taken)
        *taken = FALSE;
    Lock();
    // Only a decoded head is handed over: a stray call while the head is
    // decoding must not throw the coming picture away.
    if (m_queue.Count() > 0 && m_queue[0]->pControl == control && control && m_queue[0]->bDone) {
        image = m_queue[0]->pImage;
        m_queue[0]->pImage = nullptr;
        Remove(0);
        if (taken)
            *taken = TRUE;
    }
    Unlock();
    Wake();
    return image;
}

int IxImageLoader::GetQueueLength()
{
    Lock();
    int count = m_queue.Count();
    Unlock();
    return count;
}

int IxImageLoader::CountRequests(IxElement* control)
{
    Lock();
    int count = 0;
    for (int i = 0; i < m_queue.Count(); ++i)
        count += m_queue[i]->pControl == control ? 1 : 0;
    Unlock();
    return count;
}

DWORD IxImageLoader::SleepTime() const
{
    if (m_queue.Count() == 0 || !m_queue[0]->bDone)
        return INFINITE;
    const DWORD waited = GetTickCount() - m_queue[0]->dwDoneTick;
    return waited >= kResultTimeoutMs ? 0 : kResultTimeoutMs - waited;
}

int IxImageLoader::Execute()
{
    Lock();
    for (int i = m_queue.Count() - 1; i >= 0; --i) {
        if (!m_queue[i]->pControl)
            Remove(i);
    }
    // A result its control has not taken in time is dropped, so that the
    // pictures behind it are not held up.
    if (m_queue.Count() > 0 && m_queue[0]->bDone && GetTickCount() - m_queue[0]->dwDoneTick >= kResultTimeoutMs)
        Remove(0);
    if (m_queue.Count() == 0 || m_queue[0]->bDone) {
        Unlock();
        return 0;
    }
    const Request head = *m_queue[0];
    Unlock();

    int width = head.nWidth;
    int height = head.nHeight;
    IxImage* image = m_pDecoder->Decode(head.path.Text(), &width, &height, IXLM_SCALED);

    BOOL stored = FALSE;
    Lock();
    if (m_queue.Count() > 0 && m_queue[0]->dwSerial == head.dwSerial && m_queue[0]->pControl) {
        m_queue[0]->pImage = image;
        m_queue[0]->bDone = TRUE;
        m_queue[0]->dwDoneTick = GetTickCount();
        stored = TRUE;
    }
    Unlock();
    if (!stored) {
        if (image)
            image->Release();
        // The next request may be waiting behind the cancelled one.
        return 1;
    }
    IxElementRef control(head.control);
    LPARAM word = control.Detach();
    if (!IxPostEvent(m_wNotifyId, AEV_DEFAULT, word))
        IxElementRef::Adopt(word); // nobody will take it back
    return 0;
}

DWORD IxImageLoader::IdleWaitMs()
{
    // A decoded head that waits for its control wakes the loop when its time
    // runs out.
    Lock();
    const DWORD wait = SleepTime();
    Unlock();
    return wait;
}
