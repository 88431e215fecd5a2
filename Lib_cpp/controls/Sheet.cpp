#include "Lib_cpp/controls/Sheet.h"

#include "Lib_cpp/controls/ElementApi.h"
#include "Lib_cpp/core/Diag.h"
#include "Lib_cpp/kernel/Kernel.h"

#include <cstdlib>
#include <new>

namespace {

bool InRange(int id, int first, int last)
{
    return id >= first && id <= last;
}

} // namespace

IxSheet::~IxSheet()
{
    for (int i = 0; i < m_indicators.Count(); ++i)
        delete m_indicators[i];
}

IxElement* IxSheet::FindOwn(int id)
{
    return FindElement(IXFIND_ID, id, nullptr, nullptr, this);
}

void IxSheet::SetState(int state, LPARAM param)
{
    if (state == IXSS_ATTACH) {
        for (int i = 0; i < m_indicators.Count(); ++i) {
            m_indicators[i]->bOn = FALSE;
            if (IxElement* child = FindOwn(m_indicators[i]->nChildId))
                child->Show(FALSE, FALSE);
        }
    }
    IxFrameView::SetState(state, param);
}

LRESULT IxSheet::OnEvent(int code, LPARAM param)
{
    switch (code) {
    case IXEV_ATTACHED:
        for (int i = 0; i < m_bindings.Count(); ++i)
            m_bindings[i].bArmed = TRUE;
        break;
    case IXEV_DETACHED:
        KillElementTimer(this, 0);
        break;
    case IXEV_TIMER:
        if (RefreshIndicator(static_cast<UINT_PTR>(param)))
            return 1;
        break;
    default:
        break;
    }
    return IxFrameView::OnEvent(code, param);
}

// ---------------------------------------------------------------------------
// Pages

void IxSheet::ShowPage(int id)
{
    if (m_pActivePage && m_pActivePage->GetId() == id)
        return;
    IxElementWatch self(this);
    if (!SetActivePageById(id, TRUE, TRUE) || !self.Alive())
        return;
    if (!InRange(id, IXPAGE_C_FIRST, IXPAGE_C_LAST))
        m_strPage.Release();
    if (!HasFlag(IXF_LAYOUTPENDING))
        OnPageChanged();
}

void IxSheet::ShowPageC()
{
    const int active = GetActivePageId();
    if (!InRange(active, IXPAGE_C_FIRST, IXPAGE_C_LAST))
        m_nPageBeforeC = active;
    ShowPage(m_nPageC);
}

void IxSheet::NextPageA(int id)
{
    if (id)
        m_nPageA = id;
    else if (InRange(m_nPageA, IXPAGE_A_FIRST - 1, IXPAGE_A_LAST - 1) && HasPage(m_nPageA + 1))
        ++m_nPageA;
    else
        m_nPageA = IXPAGE_A_FIRST;
    ShowPage(m_nPageA);
}

void IxSheet::NextPageB(int id)
{
    if (id)
        m_nPageB = id;
    else if (InRange(m_nPageB, IXPAGE_B_FIRST - 1, IXPAGE_B_LAST - 1) && HasPage(m_nPageB + 1))
        ++m_nPageB;
    else
        m_nPageB = IXPAGE_B_FIRST;
    ShowPage(m_nPageB);
}

void IxSheet::NextPageC(int id)
{
    if (id)
        m_nPageC = id;
    else if (InRange(m_nPageC, IXPAGE_C_FIRST - 1, IXPAGE_C_LAST - 1) && HasPage(m_nPageC + 1))
        ++m_nPageC;
    else
        m_nPageC = IXPAGE_C_FIRST;
    ShowPageC();
}

void IxSheet::SwitchPageGroup(BOOL toB, int page)
{
    // own: the asked group's page; other: the other group's. The direct
    // range picks own as it is, the other range (or no page) the first of
    // own and other that exists.
    const int own = toB ? m_nPageB : m_nPageA;
    const int other = toB ? m_nPageA : m_nPageB;
    const int otherFirst = toB ? IXPAGE_A_FIRST : IXPAGE_C_FIRST;
    const int otherLast = toB ? IXPAGE_A_LAST : IXPAGE_C_LAST;
    const int directFirst = toB ? IXPAGE_C_FIRST : IXPAGE_A_FIRST;
    const int directLast = toB ? IXPAGE_C_LAST : IXPAGE_A_LAST;
    int show = 0;
    if (InRange(page, directFirst, directLast))
        show = own;
    else if (page == 0 || InRange(page, otherFirst, otherLast))
        show = HasPage(own) ? own : (HasPage(other) ? other : 0);
    else
        show = page;
    IxElementWatch self(this);
    if (show)
        ShowPage(show);
    if (!self.Alive())
        return;
    SetChildVisibleInside(this, IXID_GROUPB_SHOWN, toB, TRUE);
    SetChildVisibleInside(this, IXID_GROUPA_SHOWN, !toB, TRUE);
}

void IxSheet::ShowDefaultPage(int page)
{
    int show = page;
    if (page == 0 || InRange(page, IXPAGE_A_FIRST, IXPAGE_A_LAST))
        show = HasPage(m_nPageA) ? m_nPageA : (HasPage(m_nPageB) ? m_nPageB : 0);
    IxElementWatch self(this);
    if (show)
        ShowPage(show);
    if (!self.Alive())
        return;
    SetChildVisibleInside(this, IXID_GROUPB_SHOWN, FALSE, TRUE);
    SetChildVisibleInside(this, IXID_GROUPA_SHOWN, TRUE, TRUE);
}

// ---------------------------------------------------------------------------
// Indicators

BOOL IxSheet::AppendIndicator(IxIndicatorEntry* entry)
{
    if (!entry) {
        IxRecordNoMemory();
        return FALSE;
    }
    if (!m_indicators.Add(entry)) {
        delete entry;
        return FALSE;
    }
    if (entry->nPeriod < 0)
        ++m_nNegativePeriods;
    return TRUE;
}

BOOL IxSheet::AddTextIndicator(int key, int childId, const IxString& text, int period)
{
    auto* entry = new (std::nothrow) IxIndicatorEntry;
    if (entry) {
        entry->nKey = key;
        entry->nChildId = childId;
        entry->text = text;
        entry->nPeriod = period;
    }
    return AppendIndicator(entry);
}

BOOL IxSheet::AddIconIndicator(int key, int childId, int icon, int period)
{
    auto* entry = new (std::nothrow) IxIndicatorEntry;
    if (entry) {
        entry->nKey = key;
        entry->nChildId = childId;
        entry->nIcon = icon;
        entry->nPeriod = period;
    }
    return AppendIndicator(entry);
}

int IxSheet::FindIndicator(int key) const
{
    for (int i = 0; i < m_indicators.Count(); ++i) {
        if (m_indicators[i]->nKey == key)
            return i;
    }
    return -1;
}

IxIndicatorEntry* IxSheet::FirstOnFor(int childId, int* index) const
{
    for (int i = 0; i < m_indicators.Count(); ++i) {
        if (m_indicators[i]->bOn && m_indicators[i]->nChildId == childId) {
            *index = i;
            return m_indicators[i];
        }
    }
    *index = -1;
    return nullptr;
}

void IxSheet::ShowEntry(IxIndicatorEntry* entry)
{
    if (IxElement* child = FindOwn(entry->nChildId)) {
        IxElementWatch watch(child);
        if (!entry->text.IsEmpty())
            child->SetProperty(IXP_TEXTNOW, reinterpret_cast<LPARAM>(&entry->text));
        else
            child->SetProperty(IXP_FRAME, entry->nIcon < 0 ? 0 : entry->nIcon);
        if (watch.Alive())
            child->Show(TRUE, TRUE);
    }
    if (entry->nPeriod > 0)
        SetElementTimer(this, IxTimerId(entry), entry->nPeriod);
}

void IxSheet::HideEntry(IxIndicatorEntry* entry)
{
    if (IxElement* child = FindOwn(entry->nChildId))
        child->Show(FALSE, TRUE);
    if (entry->nPeriod > 0)
        KillElementTimer(this, IxTimerId(entry));
}

void IxSheet::SetIndicator(int key, BOOL on)
{
    const int index = FindIndicator(key);
    if (index < 0)
        return;
    IxIndicatorEntry* entry = m_indicators[index];
    if ((entry->bOn != FALSE) == (on != FALSE))
        return;
    int first = -1;
    if (on) {
        IxIndicatorEntry* shown = FirstOnFor(entry->nChildId, &first);
        if (shown && first < index) {
            entry->bOn = TRUE; // an earlier entry keeps the child
            return;
        }
        if (shown)
            HideEntry(shown);
        ShowEntry(entry);
        entry->bOn = TRUE;
        return;
    }
    entry->bOn = FALSE;
    IxIndicatorEntry* next = FirstOnFor(entry->nChildId, &first);
    if (!next) {
        HideEntry(entry);
    } else if (first > index) {
        HideEntry(entry);
        ShowEntry(next);
    }
}

void IxSheet::PostIndicatorEvent(int key, LPARAM value)
{
    if (FindIndicator(key) >= 0)
        PushGlobalAction(IXA_INDICATOREVENT, AEV_DEFAULT, value);
}

void IxSheet::RefreshIndicators()
{
    for (int i = 0; i < m_indicators.Count(); ++i) {
        if (IxElement* child = FindOwn(m_indicators[i]->nChildId))
            child->Show(FALSE, TRUE);
    }
    // Only the first entry that is on for a child shows on it.
    for (int i = 0; i < m_indicators.Count(); ++i) {
        IxIndicatorEntry* entry = m_indicators[i];
        int first = -1;
        if (entry->bOn && FirstOnFor(entry->nChildId, &first) == entry)
            ShowEntry(entry);
    }
}

void IxSheet::StepEntry(IxIndicatorEntry* entry)
{
    IxElement* child = FindOwn(entry->nChildId);
    if (!child)
        return;
    if (!entry->text.IsEmpty() || entry->nIcon >= 0)
        child->Show(child->HasFlag(IXF_HIDDEN), TRUE);
    else
        child->SetProperty(IXP_FRAME, IXFRAME_NEXT);
}

int IxSheet::RefreshIndicator(UINT_PTR entry)
{
    for (int i = 0; i < m_indicators.Count(); ++i) {
        if (IxTimerId(m_indicators[i]) == entry) {
            StepEntry(m_indicators[i]);
            return 1;
        }
    }
    return 0;
}

void IxSheet::StepIndicators()
{
    // Only an entry its child shows: an entry behind an earlier one must not
    // blink or step the earlier one's display.
    for (int i = 0; i < m_indicators.Count(); ++i) {
        IxIndicatorEntry* entry = m_indicators[i];
        int first = -1;
        if (entry->bOn && entry->nPeriod < 0 && FirstOnFor(entry->nChildId, &first) == entry)
            StepEntry(entry);
    }
}

// ---------------------------------------------------------------------------
// Command bindings

IxCommandBinding* IxSheet::Binding(int childId)
{
    for (int i = 0; i < m_bindings.Count(); ++i) {
        if (m_bindings[i].nChildId == childId)
            return &m_bindings[i];
    }
    return nullptr;
}

const IxCommandBinding* IxSheet::FindBinding(int childId) const
{
    return const_cast<IxSheet*>(this)->Binding(childId);
}

BOOL IxSheet::BindCommand(int childId, int click, int shortPress, int longA, int spare, int longB)
{
    IxCommandBinding* binding = Binding(childId);
    if (!binding) {
        binding = m_bindings.AppendSlot(); // zeroed; a failure is recorded
        if (!binding)
            return FALSE;
        binding->nChildId = childId;
    }
    binding->bArmed = TRUE;
    if (click)
        binding->nClick = click;
    if (shortPress)
        binding->nShortPress = shortPress;
    if (longA)
        binding->nLongA = longA;
    if (spare)
        binding->nSpare = spare;
    if (longB)
        binding->nLongB = longB;
    return TRUE;
}

int IxSheet::Resolve(IxCommandBinding* binding, int code, const int* codes, int count, bool* taken)
{
    if (!binding->bArmed) {
        if (code == AEV_RELEASEDINSIDE || code == AEV_RELEASEDIDLE || code == AEV_SHORTPRESS || code == AEV_LONGRELEASE)
            binding->bArmed = TRUE;
        // Taken apart from every command value (a command chosen from the
        // list may well be 1).
        *taken = true;
        return 0;
    }
    switch (code) {
    case AEV_CLICK:
    case AEV_SHORTPRESS:
        // A code of the notice's list that is one of the bound commands
        // wins (0 is no command and never matches).
        for (int i = 0; codes && i < count; ++i) {
            const int c = codes[i];
            if (c != 0 && (c == binding->nClick || c == binding->nShortPress || c == binding->nLongA)) {
                if (code == AEV_CLICK)
                    binding->bArmed = FALSE;
                return -c;
            }
        }
        return code == AEV_CLICK ? binding->nClick : binding->nShortPress;
    case AEV_LONGPRESS:
        return binding->nLongB ? binding->nLongB : binding->nLongA;
    case AEV_LONGRELEASE:
    case AEV_ABORT:
        return binding->nLongB ? -binding->nLongB : 0;
    default:
        return 0;
    }
}

int IxSheet::DispatchChildNotice(int childId, int code, const int* codes, int count)
{
    IxCommandBinding* binding = Binding(childId);
    if (!binding)
        return 0;
    bool taken = false;
    const int r = Resolve(binding, code, codes, count, &taken);
    if (taken)
        return 1;
    if (r == 0)
        return 0;
    m_nCurrentCommand = r;
    IxElementWatch self(this);
    ActionIsInvoked(std::abs(r), AEV_DEFAULT, 0);
    if (self.Alive())
        m_nCurrentCommand = 0;
    return 1;
}
