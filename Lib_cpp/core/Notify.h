// Report messages: how worker threads and models reach the user-interface
// thread. Every report is "I_NotifyAction_" posted to the main frame window,
// with wParam = target id (low 16 bits) | code << 16 and lParam = the value
// (usually the reporting object); the kernel turns it into an action.
#pragma once

#include "Lib_cpp/core/ActionCodes.h"
#include "platform/base/Types.h"

#include <atomic>

// A small reference-counted target shared by a worker and its owner.
class IxNotifyTarget {
public:
    explicit IxNotifyTarget(WORD targetId) : m_wTargetId(targetId) {}
    IxNotifyTarget(const IxNotifyTarget&) = delete;
    IxNotifyTarget& operator=(const IxNotifyTarget&) = delete;

    void AddRef() { m_cRef.fetch_add(1, std::memory_order_relaxed); }
    // Deletes the target when the last reference goes.
    void Release();
    // Posts the report; may be called from any thread.
    BOOL Post(WORD code, LPARAM value) const;

    WORD GetTargetId() const { return m_wTargetId; }
    LONG GetRefCount() const { return m_cRef.load(std::memory_order_relaxed); }

private:
    ~IxNotifyTarget() = default;

    std::atomic<LONG> m_cRef{1};
    WORD m_wTargetId;
};

// Posts {id, code} with value to the main frame window from any thread.
BOOL IxPostEvent(WORD id, WORD code, LPARAM value);
