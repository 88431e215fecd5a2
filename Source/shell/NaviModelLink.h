// What ViewCenter asks of the navigation program's model: start and stop
// the program, pass it the layout of the navigation screen, show and hide
// its map, and tell it when the main window is being placed. The model's
// notifications reach ViewCenter as actions whose id is the model's id.
#pragma once

#include "platform/base/Types.h"

class CNaviModelLink {
public:
    virtual ~CNaviModelLink() = default;

    // The model's id: the id of its notifications.
    virtual int GetModelId() const = 0;
    // References: the holder adds one and releases it when it lets go.
    virtual void AddRef() = 0;
    virtual int Release() = 0;

    // Starts the program once; 0 when it was started already.
    virtual BOOL Launch() = 0;
    // closing 1: the program is asked to close.
    virtual void Stop(BOOL closing) = 0;
    virtual void SetLayout(int layout) = 0;
    // Shows the map (passes the view on when it is shown already).
    virtual void Show(int view) = 0;
    virtual BOOL Hide() = 0;
    // Asks the link to send the current layout and show state.
    virtual void SyncView() = 0;
    // The program's layout (negative reads as 0).
    virtual int GetLayout() = 0;
    // The layout is about to change.
    virtual void PrepareLayout(int layout, int value) = 0;
    // The main window is being placed (1 before, 0 after).
    virtual void SetPlacing(BOOL on) = 0;
};
