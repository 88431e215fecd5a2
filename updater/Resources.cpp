#include "updater/Resources.h"

#include "platform/base/Error.h"
#include "platform/gfx/Imaging.h"

#include <string>

std::u16string updater::ResourcePicturePath(int id)
{
    std::u16string name;
    if (id == IDB_PROGRESS_BAR)
        name = u"Bar.bmp";
    else if (id == IDB_STATUS_PANEL)
        name = u"Panel.bmp";
    else if (id >= IDB_BUSY_FIRST && id <= IDB_BUSY_LAST)
        name = u"Busy" + std::u16string(1, static_cast<char16_t>(u'1' + (id - IDB_BUSY_FIRST))) + u".bmp";
    else
        return {};
    return kPictureFolder + name;
}

HBITMAP LoadBitmapW(HINSTANCE, int id)
{
    const std::u16string path = updater::ResourcePicturePath(id);
    if (path.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    return SHLoadDIBitmap(path.c_str());
}
