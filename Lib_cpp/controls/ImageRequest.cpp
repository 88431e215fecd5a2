#include "Lib_cpp/controls/ImageRequest.h"

#include "Lib_cpp/controls/Element.h"
#include "Lib_cpp/controls/ImageElement.h"
#include "Lib_cpp/controls/PathImage.h"
#include "Lib_cpp/controls/View.h"
#include "Lib_cpp/core/Diag.h"
#include "Lib_cpp/core/Notify.h"
#include "Lib_cpp/image/Image.h"
#include "Lib_cpp/kernel/Kernel.h"
#include "Lib_cpp/kernel/ServiceCodes.h"
#include "platform/base/Clock.h"
#include "platform/base/Error.h"
#include "platform/os/Sync.h"

#include <condition_variable>
#include <mutex>
#include <new>

namespace {

// The jobs' thread priority: the lowest, so that drawing and input come first.
constexpr int kJobPriority = 7;

class ScopedLock {
public:
    explicit ScopedLock(CRITICAL_SECTION* lock) : m_pLock(lock) { EnterCriticalSection(m_pLock); }
    ~ScopedLock() { LeaveCriticalSection(m_pLock); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    CRITICAL_SECTION* m_pLock;
};

class DefaultDecoder : public IxImageDecoder {
public:
    IxImage* Decode(LPCWSTR path, int* width, int* height, int loadMode) override
    {
        SIZE natural{*width, *height};
        auto* image = new (std::nothrow) IxDecodedImage(path, *width, *height, loadMode, &natural);
        if (loadMode == IXLM_FITTED) {
            *width = natural.cx;
            *height = natural.cy;
        }
        return image;
    }
};

// The running jobs, for WaitAll.
std::mutex g_jobsMutex;
std::condition_variable_any g_jobsEnded;
int g_nJobs = 0;

} // namespace

IxImageDecoder* IxImageDecoder::Default()
{
    static DefaultDecoder decoder;
    return &decoder;
}

// ---------------------------------------------------------------------------
// IxImageRequest

// What the request shares with its jobs: it lives while the request or any
// job holds a reference.
struct IxImageRequest::Shared {
    std::atomic<LONG> nRefs{1};
    CRITICAL_SECTION lock;
    IxImageRequest* pOwner;     // null once the request is destroyed
    IxImageJob* pJob = nullptr; // the current job
    IxImage* pResult = nullptr;
    int words[2]{};
    WORD wNotifyId;
    IxImageDecoder* pDecoder;

    Shared(IxImageRequest* owner, WORD notifyId, IxImageDecoder* decoder)
        : pOwner(owner), wNotifyId(notifyId), pDecoder(decoder ? decoder : IxImageDecoder::Default())
    {
        IxInitLock(&lock);
    }
    ~Shared()
    {
        if (pResult)
            pResult->Release();
        DeleteCriticalSection(&lock);
    }
    void AddRef() { nRefs.fetch_add(1, std::memory_order_relaxed); }
    void Release()
    {
        if (nRefs.fetch_sub(1, std::memory_order_acq_rel) == 1)
            delete this;
    }
    // With the lock held: the current job drops its result and is forgotten.
    void AbandonJob()
    {
        if (pJob)
            pJob->Abandon();
        pJob = nullptr;
    }
    void ReleaseResult()
    {
        if (pResult)
            pResult->Release();
        pResult = nullptr;
    }
};

IxImageRequest::IxImageRequest(WORD notifyId, IxImageDecoder* decoder)
    : m_pShared(new (std::nothrow) Shared(this, notifyId, decoder))
{
}

IxImageRequest::~IxImageRequest()
{
    if (!m_pShared)
        return;
    {
        ScopedLock lock(&m_pShared->lock);
        m_pShared->AbandonJob();
        m_pShared->ReleaseResult();
        m_pShared->pOwner = nullptr;
    }
    m_pShared->Release();
}

WORD IxImageRequest::GetNotifyId() const
{
    return m_pShared ? m_pShared->wNotifyId : 0;
}

BOOL IxImageRequest::HasJob() const
{
    if (!m_pShared)
        return FALSE;
    ScopedLock lock(&m_pShared->lock);
    return m_pShared->pJob != nullptr;
}

BOOL StartImageRequest(IxImageRequest* request, const IxString* path, int width, int height)
{
    if (!request || !request->m_pShared)
        return FALSE;
    IxImageRequest::Shared* shared = request->m_pShared;
    ScopedLock lock(&shared->lock);
    shared->AbandonJob();
    shared->ReleaseResult();
    static const IxString kEmpty;
    auto* job = new (std::nothrow) IxImageJob(shared, path ? *path : kEmpty, width, height);
    if (!job) {
        IxRecordError(IXERR_NOMEMORY);
        return FALSE;
    }
    if (!job->Start(kJobPriority)) {
        delete job;
        return FALSE;
    }
    // The job cannot finish before the lock is let go, so it is still alive.
    shared->pJob = job;
    return TRUE;
}

// On the worker: takes the job's result when it is still the current job and
// announces it. The request may be gone already: then nothing is posted.
static void FinishImageRequest(IxImageRequest::Shared* shared, IxImageJob* job)
{
    ScopedLock lock(&shared->lock);
    if (shared->pJob != job)
        return;
    shared->ReleaseResult();
    shared->pResult = job->TakeResult(shared->words);
    shared->pJob = nullptr;
    if (shared->pOwner)
        IxPostEvent(shared->wNotifyId, AEV_DEFAULT, reinterpret_cast<LPARAM>(shared->pOwner));
}

IxImage* TakeImageResult(IxImageRequest* request, int* words)
{
    if (!request || !request->m_pShared)
        return nullptr;
    ScopedLock lock(&request->m_pShared->lock);
    if (words) {
        words[0] = request->m_pShared->words[0];
        words[1] = request->m_pShared->words[1];
    }
    IxImage* image = request->m_pShared->pResult;
    request->m_pShared->pResult = nullptr;
    return image;
}

void CancelRequest(IxImageRequest* request)
{
    if (!request)
        return;
    if (request->m_pShared) {
        ScopedLock lock(&request->m_pShared->lock);
        request->m_pShared->AbandonJob();
        request->m_pShared->ReleaseResult();
    }
    request->m_bActive = FALSE;
}

void ActivateRequest(IxImageRequest* request)
{
    if (request)
        request->m_bActive = TRUE;
}

// ---------------------------------------------------------------------------
// IxImageJob

IxImageJob::IxImageJob(IxImageRequest::Shared* request, const IxString& path, int width, int height)
    : m_pRequest(request), m_path(path), m_nWidth(width), m_nHeight(height)
{
    IxInitLock(&m_lock);
    m_pRequest->AddRef();
    std::lock_guard<std::mutex> jobs(g_jobsMutex);
    ++g_nJobs;
}

IxImageJob::~IxImageJob()
{
    if (m_pResult)
        m_pResult->Release();
    m_pRequest->Release();
    DeleteCriticalSection(&m_lock);
    std::lock_guard<std::mutex> jobs(g_jobsMutex);
    --g_nJobs;
    g_jobsEnded.notify_all();
}

void IxImageJob::Abandon()
{
    ScopedLock lock(&m_lock);
    m_bAbandoned = TRUE;
    if (m_pResult)
        m_pResult->Release();
    m_pResult = nullptr;
}

IxImage* IxImageJob::TakeResult(int* words)
{
    ScopedLock lock(&m_lock);
    words[0] = m_nWidth;
    words[1] = m_nHeight;
    IxImage* image = m_pResult;
    m_pResult = nullptr;
    return image;
}

DWORD IxImageJob::Execute()
{
    {
        ScopedLock lock(&m_lock);
        if (m_bAbandoned)
            return 0;
    }
    // The decoder writes its two result words over the width and height;
    // nobody else reads them before FinishImageRequest.
    int width = m_nWidth;
    int height = m_nHeight;
    IxImage* image = m_pRequest->pDecoder->Decode(m_path.Text(), &width, &height, IXLM_FITTED);
    BOOL keep;
    {
        ScopedLock lock(&m_lock);
        keep = !m_bAbandoned;
        if (!keep && image) {
            image->Release();
            image = nullptr;
        }
        m_pResult = image;
        m_nWidth = width;
        m_nHeight = height;
    }
    if (keep)
        FinishImageRequest(m_pRequest, this);
    return 0;
}

BOOL IxImageJob::WaitAll(DWORD timeoutMs)
{
    std::unique_lock<std::mutex> jobs(g_jobsMutex);
    return platform::WaitUntilMs(g_jobsEnded, jobs, platform::DeadlineAfter(timeoutMs), [] { return g_nJobs == 0; });
}

int IxImageJob::RunningCount()
{
    std::lock_guard<std::mutex> jobs(g_jobsMutex);
    return g_nJobs;
}

// ---------------------------------------------------------------------------
// Utilities

void SubscribeEventList(IxElement* view, const DWORD* list)
{
    IxKernel* kernel = IxGetKernel();
    if (!kernel || !view || !list)
        return;
    for (; *list; ++list)
        kernel->Subscribe(static_cast<SHORT>(*list & 0xFFFF), view);
}

void UnsubscribeEventList(IxElement* view, const DWORD* list)
{
    IxKernel* kernel = IxGetKernel();
    if (!kernel || !view || !list)
        return;
    for (; *list; ++list)
        kernel->Unsubscribe(static_cast<SHORT>(*list & 0xFFFF), view);
}

BOOL MatchesEventList(const DWORD* list, int id, int code)
{
    return IxMatchesFilter(list, IxActionWord(id, code));
}

IxBrushHolder::~IxBrushHolder()
{
    if (hBrush)
        DeleteObject(hBrush);
}

BOOL CreateBrushHolder(IxBrushHolder* holder, COLORREF color)
{
    if (!holder)
        return FALSE;
    HBRUSH brush = CreateSolidBrush(color);
    if (!brush) {
        IxRecordError(IXERR_LOADBITMAP);
        return FALSE;
    }
    if (holder->hBrush)
        DeleteObject(holder->hBrush);
    holder->hBrush = brush;
    return TRUE;
}

BOOL ShowSelectionPicture(IxView* row, int event)
{
    if (!row || (event != IXEV_SELECTED && event != IXEV_UNSELECTED))
        return FALSE;
    IxElement* marker = row->FindChildDeep(kIxSelectionPictureId);
    if (!marker)
        return TRUE;
    IxImage* image = nullptr;
    if (event == IXEV_SELECTED) {
        image = reinterpret_cast<IxImage*>(row->Control(IXSVC_LISTIMAGE, 0, IXLIMG_SELECTION));
        if (image)
            image->AddRef();
    }
    marker->SetProperty(IXP_IMAGENOW, reinterpret_cast<LPARAM>(image));
    return TRUE;
}

BOOL ShowCurrentPicture(IxImageElement* element)
{
    if (!element)
        return FALSE;
    auto* image = reinterpret_cast<IxImage*>(element->Control(IXSVC_LISTIMAGE, 0, IXLIMG_STANDBY));
    if (!image)
        return FALSE;
    image->AddRef();
    element->SetImage(image, TRUE);
    return TRUE;
}
