// The image table of a data list: the icons its rows show, by index from 0,
// and four special images (IXLIMG_FOLDER, IXLIMG_CURRENT, IXLIMG_SELECTION,
// IXLIMG_STANDBY). The rows ask for them with request IXSVC_LISTIMAGE.
#pragma once

#include "Lib_cpp/core/Containers.h"
#include "platform/base/Types.h"

class IxImage;

// Indices of a data list's image table (request IXSVC_LISTIMAGE): the
// special images, and the entry the picture control shows for an empty path.
enum : int {
    IXLIMG_FOLDER = -1,    // the row that stands for the path itself
    IXLIMG_CURRENT = -2,   // drawn over the current row
    IXLIMG_SELECTION = -3, // the selected row's marker
    IXLIMG_STANDBY = -5,   // shown while a picture decodes; a row's current picture
    IXLIMG_EMPTY = 1,      // the picture of an empty path
};

class IxListImageTable {
public:
    IxListImageTable() = default;
    // Releases every image.
    ~IxListImageTable();
    IxListImageTable(const IxListImageTable&) = delete;
    IxListImageTable& operator=(const IxListImageTable&) = delete;

    // Stores the image (the caller's reference passes) at an index of 0 or
    // more, growing the table with empty entries; an image already there is
    // released. The special indices set the special images. 0 when the index
    // is unknown or the table cannot grow (the image is released then).
    BOOL Set(int index, IxImage* image);
    // The image at the index (no new reference); null past the end, for an
    // empty entry and for unknown negative indices.
    IxImage* Get(int index) const;
    int Count() const { return m_images.Count(); }

private:
    IxImage** Special(int index);

    IxArray<IxImage*> m_images{8};
    IxImage* m_pSpecial[4]{};
};
