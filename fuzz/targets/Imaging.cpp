// The imaging objects over a file's bytes: an image made from a buffer,
// its information, and its pixels at a size the first bytes choose.
#include "platform/gfx/Imaging.h"
#include "fuzz/FuzzTarget.h"

using namespace platform;

WREN_FUZZ_TARGET(Imaging)
{
    if (size < 2)
        return 0;
    static IImagingFactory* factory = CreateImagingFactory();
    const int width = data[0], height = data[1];
    IImage* image = nullptr;
    if (factory->CreateImageFromBuffer(data + 2, static_cast<UINT>(size - 2), BufferDisposalFlagNone, &image) != S_OK
        || !image)
        return 0;
    ImageInfo info{};
    image->GetImageInfo(&info);
    Picture picture;
    if (PictureOfImage(image, picture, width, height) == PictureStatus::Ok)
        FUZZ_CHECK(picture.pixels.size() == static_cast<size_t>(picture.width) * picture.height);
    image->Release();
    return 0;
}
