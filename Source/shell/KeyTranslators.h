// The key translators: hidden key-bound press wrappers on the kernel frame
// that turn a held key into another code. Each listens to its source key
// and reports the press gestures under the code it emits (its element id):
// a short press, a long press once the key has been held for 800 ms, and,
// where its row gives an interval, a repeat while the key stays held.
// User-interface thread only.
#pragma once

#include "Lib_cpp/controls/KeyPressWrapper.h"

class IxKernelFrame;

// One row: the key, the code it becomes, the repeat interval (0 none).
struct CKeyTranslation {
    int nSource;
    int nEmitted;
    int nRepeat;
};

class CKeyTranslator : public IxKeyPressWrapper {
public:
    static constexpr int kHoldMs = 800;

    // Hidden, with the emitted code as its id.
    explicit CKeyTranslator(const CKeyTranslation& row);

    int GetSource() const { return m_nSource; }
    int GetRepeat() const { return m_nRepeat; }

    // The unit's rows, in order.
    static const CKeyTranslation* Table(int* count);
    // Adds one translator per row to the frame; answers how many were added
    // (a translator that cannot be made is left out).
    static int AddAll(IxKernelFrame* frame);

private:
    int m_nSource;
    int m_nRepeat;
};
