// The fixed classification of the unit's view ids: the view groups (one per
// source family) with their members, default views and device families,
// the navigation, menu, media-play and source views, the main view of a
// sub-screen and the MODE key's cycle through the sources. ViewCenter's
// view slots answer with these unless a subclass widens them.
#pragma once

#include "platform/base/Types.h"

// A view group: its id, its member views, its default view and the base of
// the device family it needs (0: none).
struct CViewGroup {
    int nGroup;
    int nFirst;
    int nLast;
    int nDefault;
    int nCommandBase;
};

// The seven groups in table order (radio, TV, files, iPod, AUX, DVD,
// Bluetooth); kViewGroupCount entries.
inline constexpr int kViewGroupCount = 7;
const CViewGroup* ViewGroupTable();
// The group's entry, null for any other id.
const CViewGroup* FindViewGroup(int group);

// The group the view belongs to, 0 for none.
int ViewGroupOf(int view);
BOOL IsViewInViewGroup(int view, int group);
// The group's default view; group 0 answers defaultMain; other ids are
// answered unchanged.
int DefaultViewOfGroup(int group, int defaultMain);
// The device family of a group or of a member view (10 storage, 20 AUX, 30
// iPod, 40 DVD, 50 Bluetooth), 0 for none.
int CommandBaseOf(int groupOrView);
// The view group of a device number (10..59), 0 for none.
int CommandGroupOf(int device);
// The main view of a sub-screen: 5102..5104 → 5101; others unchanged.
int MainViewOf(int view);
// The MODE key's next source after the view, 0 when the view is not in the
// cycle.
int NextSourceViewOf(int view);

BOOL IsNaviViewId(int view);
// 5101 and the menu views 3100..3111.
BOOL IsMenuViewId(int view);
// Above 5100, except 5101 and 5104.
BOOL IsMediaPlayViewId(int view);
BOOL IsSourceViewId(int view);
