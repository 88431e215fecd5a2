// The main window's soft keyboard: jamo through the two-set keyboard's keys
// into the Hangul automaton and back out as text records for the focused
// field. The automaton is a script here (each key gives the next state,
// composing syllable and output), so the records are checked for every way
// the automaton can answer; without an automaton jamo are plain characters.
//
// A record reads "kind text length replace" (kinds: 1 plain, 2 insert,
// 3 replace the composing character, 4 commit it, 5 remove it).
#include "Source/shell/HangulInput.h"
#include "platform/base/Text.h"
#include "tests/wren/MainWndFixture.h"

#include <algorithm>

namespace {

using namespace mainwndtest;

struct Step {
    int state;
    std::u16string composing;
    std::u16string output;
};

class ScriptedHangul : public CHangulInput {
public:
    void Reset() override
    {
        ++resets;
        now = Step{0, u"", u""};
    }
    int GetState() const override { return now.state; }
    void FeedKey(int key) override
    {
        fed.push_back(key);
        if (next < script.size())
            now = script[next++];
    }
    BOOL GetComposingText(WCHAR* buffer) const override
    {
        buffer[0] = now.composing.empty() ? 0 : now.composing[0];
        buffer[1] = 0;
        return !now.composing.empty();
    }
    int GetOutputText(WCHAR* buffer, int capacity) const override
    {
        const int n = std::min(static_cast<int>(now.output.size()), capacity - 1);
        std::copy_n(now.output.begin(), n, buffer);
        buffer[n] = 0;
        return static_cast<int>(now.output.size());
    }
    // The state changes that commit a syllable.
    BOOL IsModeCompatible(int previous, int next) const override
    {
        switch (previous) {
        case 0:
            return next == 1 || next == 0;
        case 1:
        case 2:
            return next == 1;
        case 4:
        case 5:
            return next == 1 || next == 2;
        default:
            return FALSE;
        }
    }
    BOOL IsSymbolKey(int key) const override { return key >= 0x20 && key <= 0x3F; }

    std::vector<Step> script;
    std::size_t next = 0;
    Step now{0, u"", u""};
    std::vector<int> fed;
    int resets = 0;
};

class SoftKey : public MainWndFixture {
protected:
    void SetUp() override
    {
        MainWndFixture::SetUp();
        ASSERT_TRUE(Open());
    }
    // One character: whether the records are to be applied, then the records
    // whose kind is set.
    Log Type(WCHAR ch)
    {
        IxTextInput first{IxTextInput::None, nullptr, 0, 0};
        IxTextInput second{IxTextInput::None, nullptr, 0, 0};
        Log out{window->InvokeSoftKey(ch, &first, &second) ? "apply" : "pass"};
        for (const IxTextInput* r : {&first, &second}) {
            if (r->kind == IxTextInput::None)
                continue;
            std::string text = platform::ToUtf8(std::u16string(r->text, static_cast<std::size_t>(r->length)));
            out.push_back(std::to_string(r->kind) + " " + text + " " + std::to_string(r->length) + " "
                          + std::to_string(r->replace));
        }
        return out;
    }
};

TEST_F(SoftKey, WithoutTheAutomatonJamoArePlainCharacters)
{
    EXPECT_EQ(Type(u'\u3131'), (Log{"apply", "1 ㄱ 1 0"}));
    EXPECT_EQ(Type(u'\u314F'), (Log{"apply", "1 ㅏ 1 0"}));
    EXPECT_EQ(Type(u'A'), (Log{"apply", "1 A 1 0"}));
    // Backspace and control characters go to the kernel as keys.
    EXPECT_EQ(Type(8), Log{"pass"});
    EXPECT_EQ(Type(5), Log{"pass"});
}

TEST_F(SoftKey, ComposingCommittingAndDeletingSyllables)
{
    ScriptedHangul hangul;
    window->SetHangulInput(&hangul);
    window->ResetSoftKeyboardText();
    hangul.script = {
        {1, u"ㄱ", u""},   // ㄱ
        {2, u"가", u""},   // ㅏ
        {4, u"간", u""},   // ㄴ
        {2, u"나", u"가"}, // ㅏ takes the ㄴ: 가 is committed
        {1, u"ㄴ", u"가"}, // backspace
        {0, u"", u"가"},   // backspace
        {0, u"", u"가"},   // backspace
        {1, u"ㄷ", u"가"}, // ㄷ after a removal: inserted, nothing committed
    };
    EXPECT_EQ(Type(u'\u3131'), (Log{"apply", "2 ㄱ 1 0"}));
    EXPECT_EQ(Type(u'\u314F'), (Log{"apply", "3 가 1 1"}));
    EXPECT_EQ(Type(u'\u3134'), (Log{"apply", "3 간 1 1"}));
    EXPECT_EQ(Type(u'\u314F'), (Log{"apply", "4 가 1 1", "2 나 1 0"}));
    EXPECT_EQ(Type(8), (Log{"apply", "3 ㄴ 1 1"}));
    EXPECT_EQ(Type(8), (Log{"apply", "5  0 1"}));
    // With the removal pending, a further backspace is the kernel's.
    EXPECT_EQ(Type(8), Log{"pass"});
    EXPECT_EQ(Type(u'\u3137'), (Log{"apply", "2 ㄷ 1 0"}));
    EXPECT_EQ(hangul.fed, (std::vector<int>{'r', 'k', 's', 'k', 8, 8, 8, 'e'}));
    // Backspace with nothing composed and nothing written is the kernel's,
    // and the automaton does not see it.
    window->ResetSoftKeyboardText();
    hangul.fed.clear();
    EXPECT_EQ(Type(8), Log{"pass"});
    EXPECT_TRUE(hangul.fed.empty());
}

TEST_F(SoftKey, BackspaceOverCommittedTextRemovesOneCharacterThenPasses)
{
    ScriptedHangul hangul;
    window->SetHangulInput(&hangul);
    window->ResetSoftKeyboardText();
    hangul.now = Step{0, u"", u"한글"};
    hangul.script = {{0, u"", u"한"}, {0, u"", u"한"}};
    EXPECT_EQ(Type(8), (Log{"apply", "5 한 1 1"}));
    EXPECT_EQ(Type(8), Log{"pass"});
}

TEST_F(SoftKey, RecordsNeverReachBeforeTheOutputOrPastItsBuffer)
{
    ScriptedHangul hangul;
    window->SetHangulInput(&hangul);
    window->ResetSoftKeyboardText();
    const std::u16string full(259, u'가');
    const std::u16string longer(300, u'가');
    hangul.script = {
        {0, u"", u""},      // the automaton took the key and wrote nothing
        {0, u"", full},     // the output fills the buffer: nothing more is handed on
        {1, u"ㅎ", longer}, // a syllable starts after an output longer than the buffer: no commit
        {0, u"", u"\u3131"},
    };
    EXPECT_EQ(Type(u'\u3131'), Log{"apply"});
    EXPECT_EQ(Type(u'\u3131'), Log{"apply"});
    EXPECT_EQ(Type(u'\u314E'), (Log{"apply", "2 ㅎ 1 0"}));
    EXPECT_EQ(Type(u'\u3131'), (Log{"apply", "2 ㄱ 1 0"}));
}

TEST_F(SoftKey, ResetForgetsThePendingRemovalAndThePreviousKey)
{
    ScriptedHangul hangul;
    window->SetHangulInput(&hangul);
    window->ResetSoftKeyboardText();
    EXPECT_EQ(hangul.resets, 1);
    hangul.script = {
        {1, u"ㄱ", u""},
        {0, u"", u""}, // backspace: the removal is pending
        {1, u"ㄴ", u"가"},
    };
    Type(u'\u3131');
    EXPECT_EQ(Type(8), (Log{"apply", "5  0 1"}));
    // A keyboard screen opens on new text: what was pending is gone, so the
    // next syllable commits the text before it.
    window->ResetSoftKeyboardText();
    EXPECT_EQ(hangul.resets, 2);
    EXPECT_EQ(Type(u'\u3134'), (Log{"apply", "4 가 1 1", "2 ㄴ 1 0"}));
}

} // namespace
