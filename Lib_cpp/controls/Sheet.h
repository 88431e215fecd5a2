// The sheet: the frame view every screen of the unit derives from.
//
// Pages: three groups of page ids, A (3300 to 3303), B (3305 to 3308) and C
// (4000 to 4003), each with its own current page; two children with fixed
// ids tell which of the groups A and B is up. Showing a page other than the
// active one calls the application's page-changed hook.
//
// Indicators: entries that share a few child elements. For each child the
// first entry in table order that is on is the one shown (a text through
// IXP_TEXTNOW, an icon frame through IXP_FRAME); an entry with a positive
// period steps on a timer of its own while shown (blink, or the next image
// frame for a negative icon index).
//
// Command bindings: the notices of a child button (click, short press,
// long press, release after a long press, cancel) become commands given to
// the sheet's own ActionIsInvoked. A binding that fired from the notice's
// list of codes stays disarmed until the button is released, so that one
// press cannot fire twice.
#pragma once

#include "Lib_cpp/controls/FrameView.h"
#include "Lib_cpp/core/Containers.h"
#include "Lib_cpp/core/String.h"
#include "platform/base/Types.h"

// Page ids of the groups and the two group children.
enum : int {
    IXPAGE_A_FIRST = 3300,
    IXPAGE_A_LAST = 3303,
    IXPAGE_B_FIRST = 3305,
    IXPAGE_B_LAST = 3308,
    IXPAGE_C_FIRST = 4000,
    IXPAGE_C_LAST = 4003,
    IXID_GROUPB_SHOWN = 3452, // shown while group B is up
    IXID_GROUPA_SHOWN = 3453, // shown while group A is up
};

// One indicator: which child shows it and with what.
struct IxIndicatorEntry {
    int nKey = -1;
    int nChildId = 0;
    IxString text;   // may be empty: the icon index is shown then
    int nIcon = 0;   // negative: frame 0 is shown, and a step shows the next frame
    int nPeriod = 0; // > 0: a timer of the sheet while shown; < 0 only counted
    BOOL bOn = FALSE;
};

// One child's commands. Zero means none.
struct IxCommandBinding {
    int nChildId;
    BOOL bArmed;
    int nClick;
    int nShortPress;
    int nLongA;
    int nSpare;
    int nLongB;
};

class IxSheet : public IxFrameView {
public:
    IxSheet() = default;
    ~IxSheet() override;

    // 1 clears every entry's on state and hides the shared children before
    // the state goes down; the others as the frame view.
    void SetState(int state, LPARAM param) override;
    // 1 re-arms every binding; 17 kills every timer of the sheet; 36 of an
    // entry steps it.
    LRESULT OnEvent(int code, LPARAM param) override;

    // ---- Pages ----
    // Nothing when the active page has the id or no page has it. Otherwise
    // the page is shown; leaving group C drops the page string, and unless
    // the sheet's layout is pending the page-changed hook runs.
    void ShowPage(int id);
    void ShowPageA() { ShowPage(m_nPageA); }
    void ShowPageB() { ShowPage(m_nPageB); }
    // Remembers the active page (unless it is in group C), then shows group
    // C's page.
    void ShowPageC();
    // id: group A's page becomes it. 0: the next page of group A when it
    // exists, else the first; then shown.
    void NextPageA(int id);
    void NextPageB(int id);
    void NextPageC(int id);
    // Puts group B (toB non-zero) or group A up and shows its marker child.
    // Going to B, a page of group C shows group B's page; going to A, a
    // page of group A shows group A's. No page, or a page of group A (to B)
    // or of group C (to A), shows the asked group's page when it exists,
    // else the other group's. Any other page is shown itself.
    void SwitchPageGroup(BOOL toB, int page);
    // Page 0 or a page of group A: group A's page when it exists, else
    // group B's; another page: that page. Group A's marker goes up.
    void ShowDefaultPage(int page);

    // Sets the pages the groups remember, without showing any.
    void SetRememberedPages(int a, int b, int c)
    {
        m_nPageA = a;
        m_nPageB = b;
        m_nPageC = c;
    }
    int GetPageA() const { return m_nPageA; }
    int GetPageB() const { return m_nPageB; }
    int GetPageC() const { return m_nPageC; }
    int GetPageBeforeC() const { return m_nPageBeforeC; }
    int GetActivePageId() const { return m_pActivePage ? m_pActivePage->GetId() : 0; }
    IxString& PageString() { return m_strPage; }

    // ---- Indicators ----
    // Append an entry, off. 0 when the table cannot grow.
    BOOL AddTextIndicator(int key, int childId, const IxString& text, int period);
    BOOL AddIconIndicator(int key, int childId, int icon, int period);
    // Index of the first entry with the key; -1 when none.
    int FindIndicator(int key) const;
    void SetIndicator(int key, BOOL on);
    // Queues {IXA_INDICATOREVENT, AEV_DEFAULT} with the value when an entry
    // has the key.
    void PostIndicatorEvent(int key, LPARAM value);
    // Hides every indicator child, then shows for each child the first entry
    // that is on.
    void RefreshIndicators();
    // One step of an entry (the timer id is the entry): a text or an icon of
    // 0 or more flips its child's visibility, a negative icon shows the next
    // frame. 0 for an unknown entry.
    int RefreshIndicator(UINT_PTR entry);
    // Steps every entry that is shown and has a negative period.
    void StepIndicators();
    int GetNegativePeriodCount() const { return m_nNegativePeriods; }
    const IxArray<IxIndicatorEntry*>& Indicators() const { return m_indicators; }

    // ---- Command bindings ----
    // Finds or appends the child's binding, arms it, and stores each
    // non-zero argument. 0 when the table cannot grow (last error 2).
    BOOL BindCommand(int childId, int click, int shortPress, int longA, int spare, int longB);
    // 0 when the notice is not the sheet's concern, 1 when taken (a command
    // may have been given to ActionIsInvoked with kind 4096, value 0).
    int DispatchChildNotice(int childId, int code, const int* codes, int count);
    // The signed command being delivered (0 outside a delivery): negative
    // when it was chosen from the notice's list of codes.
    int GetCurrentCommand() const { return m_nCurrentCommand; }
    const IxCommandBinding* FindBinding(int childId) const;

protected:
    // The application's page-changed hook.
    virtual void OnPageChanged() {}

private:
    IxElement* FindOwn(int id);
    BOOL HasPage(int id) const { return id != 0 && FindInChain(FromNode(m_pages.Head()), id) != nullptr; }
    BOOL AppendIndicator(IxIndicatorEntry* entry);
    // The first entry that is on for the child; its index in *index.
    IxIndicatorEntry* FirstOnFor(int childId, int* index) const;
    void ShowEntry(IxIndicatorEntry* entry);
    void HideEntry(IxIndicatorEntry* entry);
    void StepEntry(IxIndicatorEntry* entry);
    IxCommandBinding* Binding(int childId);
    // The command of a notice: 0 not the sheet's; *taken set without a
    // command when the binding is disarmed.
    int Resolve(IxCommandBinding* binding, int code, const int* codes, int count, bool* taken);

    int m_nPageBeforeC = 0;
    int m_nPageA = 0;
    int m_nPageB = 0;
    int m_nPageC = 0;
    IxString m_strPage;

    IxArray<IxIndicatorEntry*> m_indicators{8}; // owned; an entry's address is its timer id
    int m_nNegativePeriods = 0;
    IxArray<IxCommandBinding> m_bindings{8};
    int m_nCurrentCommand = 0;
};
