// What the 3D menu asks of the shell and the settings: the view history,
// the volume popup's block, the user's background picture and the notice
// that the menu's images are in. The shell hands one to the menu's sheet
// when it creates it; a sheet without one behaves as on a unit with an
// empty history, no block, the default background and no one to tell.
#pragma once

#include "platform/base/Types.h"

#include <string>

namespace gate {

class IxGateShell {
public:
    virtual ~IxGateShell() = default;
    // The n-th most recent source screen of the view history (view id 5101
    // and above); 0 when there is none.
    virtual int GetLastSourceView(int n) = 0;
    // Whether the newest entry of the view history is the AV-off mark.
    virtual BOOL IsAvOff() = 0;
    // Whether the view center keeps volume popups off the screen now.
    virtual BOOL IsVolumePopupBlocked() = 0;
    // The user's background picture for the menu as a unit path (the
    // Setting record's); empty for none.
    virtual std::u16string GetGateBackgroundPath() = 0;
    // The loader has every image in (the settings model's load-complete
    // action). Called on the loader thread.
    virtual void GateImagesLoaded() = 0;
};

} // namespace gate
