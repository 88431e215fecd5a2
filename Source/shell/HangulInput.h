// What the soft keyboard of the main window asks of the Hangul input
// automaton (two-set Korean keyboard): the automaton keeps the keys typed,
// the syllable being composed and the committed output text.
#pragma once

#include "platform/base/Types.h"

class CHangulInput {
public:
    virtual ~CHangulInput() = default;

    // Clears the keys, the state and the output.
    virtual void Reset() = 0;
    // 0 idle, 1 the first jamo of a syllable is pending, 2-5 a syllable is
    // being built.
    virtual int GetState() const = 0;
    // Feeds one key (a Latin letter of the two-set keyboard, or 8 for
    // backspace) and recomputes the composing character.
    virtual void FeedKey(int key) = 0;
    // The syllable being composed (at most one character) and its
    // terminator into buffer; whether there is one.
    virtual BOOL GetComposingText(WCHAR* buffer) const = 0;
    // The committed output: at most capacity - 1 characters and the
    // terminator into buffer. Returns the whole output's length, which may
    // be capacity or more.
    virtual int GetOutputText(WCHAR* buffer, int capacity) const = 0;
    // Whether the state change commits a syllable.
    virtual BOOL IsModeCompatible(int previous, int next) const = 0;
    // Whether the key is a space, a digit or punctuation.
    virtual BOOL IsSymbolKey(int key) const = 0;
};
