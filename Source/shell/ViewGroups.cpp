#include "Source/shell/ViewGroups.h"

#include "Source/shell/ShellIds.h"

namespace {

const CViewGroup kGroups[kViewGroupCount] = {
    {FID_GROUP_RADIO, FID_RADIO_FIRST, FID_RADIO_LAST, FID_FM, 0},
    {FID_GROUP_TV, FID_DMB, FID_DAB, FID_DMB, 0},
    {FID_GROUP_FILES, FID_FILES, FID_PHOTO, FID_FILES, 10},
    {FID_GROUP_IPOD, FID_IPOD_FIRST, FID_IPOD_LAST, FID_IPOD, 30},
    {FID_GROUP_AUX, FID_AUX_FIRST, FID_AUX_LAST, FID_AUX, 20},
    {FID_GROUP_DVD, FID_DVD_FIRST, FID_DVD_LAST, FID_DVD, 40},
    {FID_GROUP_BLUETOOTH, FID_BLUETOOTH_FIRST, FID_BLUETOOTH_LAST, FID_BLUETOOTH, 50},
};

// The MODE key's cycle; the files, AUX and iPod entries are groups.
const int kModeCycle[] = {
    FID_GROUP_FILES,
    FID_GROUP_AUX,
    FID_GROUP_IPOD,
    5201,
    5202,
    5203,
    5204,
    5205,
    5206,
    5207,
    5210,
    5211,
    5212,
    5218,
    5219,
};

} // namespace

const CViewGroup* ViewGroupTable()
{
    return kGroups;
}

const CViewGroup* FindViewGroup(int group)
{
    for (const CViewGroup& g : kGroups) {
        if (g.nGroup == group)
            return &g;
    }
    return nullptr;
}

int ViewGroupOf(int view)
{
    for (const CViewGroup& g : kGroups) {
        if (view >= g.nFirst && view <= g.nLast)
            return g.nGroup;
    }
    return 0;
}

BOOL IsViewInViewGroup(int view, int group)
{
    const CViewGroup* g = FindViewGroup(group);
    return g && view >= g->nFirst && view <= g->nLast;
}

int DefaultViewOfGroup(int group, int defaultMain)
{
    if (group == 0)
        return defaultMain;
    const CViewGroup* g = FindViewGroup(group);
    return g ? g->nDefault : group;
}

int CommandBaseOf(int groupOrView)
{
    const CViewGroup* g = FindViewGroup(groupOrView);
    if (!g)
        g = FindViewGroup(ViewGroupOf(groupOrView));
    return g ? g->nCommandBase : 0;
}

int CommandGroupOf(int device)
{
    if (device < 10 || device > 59)
        return 0;
    const int base = device / 10 * 10;
    for (const CViewGroup& g : kGroups) {
        if (g.nCommandBase == base)
            return g.nGroup;
    }
    return 0;
}

int MainViewOf(int view)
{
    return view >= FID_MOVIE && view <= FID_PHOTO ? FID_FILES : view;
}

int NextSourceViewOf(int view)
{
    // A view of the files, AUX or iPod groups continues from its group.
    const int group = ViewGroupOf(view);
    if (group == FID_GROUP_FILES || group == FID_GROUP_AUX || group == FID_GROUP_IPOD)
        view = group;
    constexpr int count = static_cast<int>(sizeof(kModeCycle) / sizeof(kModeCycle[0]));
    for (int i = 0; i < count; ++i) {
        if (kModeCycle[i] == view)
            return kModeCycle[(i + 1) % count];
    }
    return 0;
}

BOOL IsNaviViewId(int view)
{
    return view >= FID_NAVI_FIRST && view <= FID_NAVI_LAST;
}

BOOL IsMenuViewId(int view)
{
    return view == FID_FILES || (view >= FID_MENU_FIRST && view <= FID_MENU_LAST);
}

BOOL IsMediaPlayViewId(int view)
{
    return view > FID_SOURCE_BASE && view != FID_FILES && view != FID_PHOTO;
}

BOOL IsSourceViewId(int view)
{
    return view > FID_SOURCE_BASE;
}
