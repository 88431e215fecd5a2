// Asynchronous image requests and the small utilities the views share.
//
// An IxImageRequest belongs to a view that shows one picture which takes
// long to decode. StartImageRequest hands the decoding to a one-shot worker
// (IxImageJob); the newest request always wins: starting again abandons the
// running job, whose image is then thrown away. The finished image is kept
// in the request and announced by posting {notify id, AEV_DEFAULT, request}
// to the main window; the view then takes it with TakeImageResult on the
// user-interface thread. The worker touches no element.
//
// A job never outlives what it reports to: it holds a reference on the
// request's shared part, so a view may destroy its request with a decode in
// flight; the job then finishes on its own and posts nothing. No thread is
// ever stopped from outside: cancelling abandons the job and lets it end.
// IxImageJob::WaitAll joins every job still running, with a time-out.
//
// Locks: the request's, then the job's, never the other way round.
#pragma once

#include "Lib_cpp/core/String.h"
#include "Lib_cpp/core/Thread.h"
#include "platform/base/Types.h"
#include "platform/gfx/Gdi.h"

class IxImage;
class IxElement;
class IxImageElement;
class IxView;

// Turns a file into an image off the user-interface thread. The default
// decoder makes an IxDecodedImage; tests and benchmarks may give their own.
class IxImageDecoder {
public:
    virtual ~IxImageDecoder() = default;
    // A new image (one reference) of the path in the load mode (IXLM_*),
    // or null. width and height come in as the box and go out as the two
    // result words (the decoder's own choice; the default decoder's fitted
    // mode gives the picture's own size).
    virtual IxImage* Decode(LPCWSTR path, int* width, int* height, int loadMode) = 0;
    // The process's decoder over IxDecodedImage.
    static IxImageDecoder* Default();
};

class IxImageJob;

class IxImageRequest {
public:
    // decoder: null for the default one; it must outlive every job.
    explicit IxImageRequest(WORD notifyId, IxImageDecoder* decoder = nullptr);
    // Abandons a running job (it ends on its own) and releases the result.
    ~IxImageRequest();
    IxImageRequest(const IxImageRequest&) = delete;
    IxImageRequest& operator=(const IxImageRequest&) = delete;

    WORD GetNotifyId() const;
    BOOL IsActive() const { return m_bActive; }
    BOOL HasJob() const;

    // The part the request shares with its jobs.
    struct Shared;

private:
    friend class IxImageJob;
    friend BOOL StartImageRequest(IxImageRequest*, const IxString*, int, int);
    friend IxImage* TakeImageResult(IxImageRequest*, int*);
    friend void CancelRequest(IxImageRequest*);
    friend void ActivateRequest(IxImageRequest*);

    Shared* m_pShared;
    BOOL m_bActive = FALSE;
};

// Starts the decoding of path (null: the empty path) fitted into width x
// height, replacing any earlier job and result. 0 when no job could be made
// (no message will come).
BOOL StartImageRequest(IxImageRequest* request, const IxString* path, int width, int height);
// The result image (the reference passes to the caller) or null, and its two
// words when words is not null; the request holds no image afterwards.
IxImage* TakeImageResult(IxImageRequest* request, int* words);
// Abandons the running job (it ends on its own and posts nothing), releases
// the result and clears the active flag.
void CancelRequest(IxImageRequest* request);
void ActivateRequest(IxImageRequest* request);

// The one-shot worker of a request: decodes, hands the image to its request
// when it is still the request's current job, and deletes itself.
class IxImageJob : public IxSelfThread {
public:
    // Under the job's lock: forgets the request and releases any result.
    void Abandon();
    // The image and its two words; the job holds no image afterwards.
    IxImage* TakeResult(int* words);
    DWORD Execute();
    DWORD Run() override { return Execute(); }

    // Waits up to timeoutMs until no job is running; 1 when none is left.
    static BOOL WaitAll(DWORD timeoutMs);
    static int RunningCount();

private:
    friend BOOL StartImageRequest(IxImageRequest*, const IxString*, int, int);
    IxImageJob(IxImageRequest::Shared* request, const IxString& path, int width, int height);
    ~IxImageJob() override;

    CRITICAL_SECTION m_lock;
    IxImageRequest::Shared* m_pRequest; // the job's own reference, dropped by the destructor
    BOOL m_bAbandoned = FALSE;
    IxImage* m_pResult = nullptr;
    IxString m_path;
    int m_nWidth;
    int m_nHeight;
};

// Subscribes (unsubscribes) the view for every code of the zero-ended list,
// taking the low 16 bits of each as a signed id.
void SubscribeEventList(IxElement* view, const DWORD* list);
void UnsubscribeEventList(IxElement* view, const DWORD* list);
// 1 when {id, code} matches a row of the zero-ended filter list.
BOOL MatchesEventList(const DWORD* list, int id, int code);

// One solid brush owned by a view.
struct IxBrushHolder {
    HBRUSH hBrush = nullptr;
    IxBrushHolder() = default;
    ~IxBrushHolder();
    IxBrushHolder(const IxBrushHolder&) = delete;
    IxBrushHolder& operator=(const IxBrushHolder&) = delete;
};
// The solid brush of the colour into the holder (replacing its brush). On
// failure the holder stays empty and the last error is IXERR_LOADBITMAP.
BOOL CreateBrushHolder(IxBrushHolder* holder, COLORREF color);

// Bodies the list rows share.
// The child of a row that shows the selection marker.
inline constexpr int kIxSelectionPictureId = -4022;
// On IXEV_SELECTED the row's marker child gets the list's selection picture
// (IXLIMG_SELECTION, a reference of its own), on IXEV_UNSELECTED none.
// 1 when the event was one of the two.
BOOL ShowSelectionPicture(IxView* row, int event);
// The list's picture IXLIMG_STANDBY becomes the element's image (a
// reference of its own); 0 when the list has none.
BOOL ShowCurrentPicture(IxImageElement* element);
