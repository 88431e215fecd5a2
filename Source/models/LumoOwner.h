// The owner of the navigation link as the link sees it: reference counted
// (the link holds it while it lives), told of the link's reports, and asked
// what only the navigation model's side knows of the rest of the unit.
#pragma once

#include "Source/models/ExtAppBridge.h"
#include "platform/base/Types.h"

class CLumoOwner {
public:
    virtual void AddRef() = 0;
    virtual int Release() = 0;
    virtual void OnLumoNotice(LumoNotice notice) = 0;
    // Whether navigation may run at all (the application's enable word).
    virtual BOOL IsNaviEnabled() const = 0;
    // Whether a phone call is active (guidance stays silent, the program's
    // menu button opens the call screen).
    virtual BOOL IsCallActive() const = 0;
    // Whether the settings allow the guidance voice to be mixed in.
    virtual BOOL IsGuidanceAllowed() const = 0;

protected:
    ~CLumoOwner() = default;
};
