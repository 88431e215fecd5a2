// The framework's picture loader: one thread that decodes the pictures of
// the picture controls (IxPathImage) one at a time, first in first out.
//
// Only the head of the queue is decoded; it stays at the head, holding its
// image, until its control takes it. The finish is posted to the main window
// as action IXA_PICTUREREADY with a weak reference to the control, which the
// kernel resolves on the user-interface thread: a control that is gone is
// never reached. The loader never touches a control; it only compares its
// address.
//
// The queue never stalls behind a result nobody takes: a control cancels its
// requests when it changes its path, is detached or is destroyed, and a
// decoded head that is not taken within kResultTimeoutMs is dropped.
#pragma once

#include "Lib_cpp/controls/Element.h"
#include "Lib_cpp/core/Containers.h"
#include "Lib_cpp/core/String.h"
#include "Lib_cpp/core/Thread.h"
#include "platform/base/Types.h"

class IxImage;
class IxImageDecoder;

class IxImageLoader : public IxThread {
public:
    // How long a decoded head waits for its control before it is dropped.
    static constexpr DWORD kResultTimeoutMs = 2000;

    // decoder: null for the default one; it must outlive the loader.
    explicit IxImageLoader(WORD notifyId, IxImageDecoder* decoder = nullptr);
    ~IxImageLoader() override;

    // The program's loader (notify id IXA_PICTUREREADY).
    static IxImageLoader& Get();

    // Cancels every request of the control, appends {control, path, width,
    // height} and wakes the thread. 0 when the request could not be stored.
    BOOL Enqueue(IxElement* control, const IxString& path, int width, int height);
    // With the lock held: every request of the control is cancelled and an
    // image it holds released; the thread removes the entries.
    void CancelRequests(IxElement* control);
    // The decoded image of the head when it belongs to the control (the
    // reference passes; null when the decode gave none), the head removed;
    // then wakes the thread. Null when the head is not the control's result;
    // taken (when given) tells the two nulls apart.
    IxImage* TakeResult(IxElement* control, BOOL* taken = nullptr);
    // Takes the lock, cancels the control's requests, wakes the thread.
    void CancelAndWake(IxElement* control);

    void Lock() { EnterCriticalSection(&m_lock); }
    void Unlock() { LeaveCriticalSection(&m_lock); }

    // Entries in the queue, cancelled ones included.
    int GetQueueLength();
    // Requests the control has in the queue.
    int CountRequests(IxElement* control);

    int Execute() override;
    DWORD IdleWaitMs() override;

private:
    struct Request {
        IxElement* pControl;  // null = cancelled
        IxElementRef control; // what the finish posts
        IxString path;
        int nWidth;
        int nHeight;
        DWORD dwSerial;     // tells a new request of the same control from an old one
        BOOL bDone = FALSE; // decoded (the image may still be null)
        IxImage* pImage = nullptr;
        DWORD dwDoneTick = 0;
    };

    void Wake();
    // With the lock held: releases the image of an entry and drops it.
    void Remove(int index);
    // With the lock held: how long the thread may sleep.
    DWORD SleepTime() const;

    CRITICAL_SECTION m_lock;
    WORD m_wNotifyId;
    IxImageDecoder* m_pDecoder;
    IxArray<Request*> m_queue{8};
    DWORD m_dwNextSerial = 1;
};
