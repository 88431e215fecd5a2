// The font object of the GDI table, shared by the text piece (Font.cpp) and
// whatever reads a selected font's request.
#pragma once

#include "platform/gfx/Font.h"
#include "platform/gfx/GdiInternal.h"

#include <memory>

namespace platform {

struct Strike;

// A logical font: the request and the shared strike that draws it.
class FontObject : public GdiObject {
public:
    FontObject(const LOGFONTW& request, std::shared_ptr<Strike> strike) : logFont(request), strike(std::move(strike)) {}
    int Kind() const override { return OBJ_FONT; }
    int Describe(int size, void* out) const override;

    LOGFONTW logFont;
    std::shared_ptr<Strike> strike;
};

} // namespace platform
