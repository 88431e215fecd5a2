// The drawn image elements: one reference-counted image shown in the frame
// that the element's state picks.
//
// - IxImageElement: the pressable image.
// - IxStaticImage: without press tracking (a click is posted at press when it
//   is hit-testable); its image may come from a file path.
// - IxStateImage: an image button whose six states map to frames through a
//   table (none, the default 0, 1, 2, ..., or six frame indices).
// - IxToggleImage: a state image whose click flips its selected state.
// - IxMultiImage: a list of images shown one at a time.
#pragma once

#include "Lib_cpp/controls/Element.h"
#include "Lib_cpp/core/Containers.h"
#include "platform/base/Types.h"

class IxImage;

class IxImageElement : public IxControl {
public:
    IxImageElement() = default;
    ~IxImageElement() override;

    LRESULT OnEvent(int code, LPARAM param) override;
    int Layout(LPARAM arg) override;
    void Draw(IxPaintRecord* record) override;
    int Query(int code, LPARAM* out) override;
    int SetProperty(int id, LPARAM value) override;
    // Content IXCONTENT_IMAGE: the image (the creator's reference passes).
    int OnCreate(const IxElementParams* params) override;

    IxImage* GetImage() const { return m_pImage; }
    // Sets the image (the caller's reference passes to the element); with
    // repaint the element is invalidated at once, else only marked.
    void SetImage(IxImage* image, BOOL repaint);

protected:
    IxImage* m_pImage = nullptr;
};

class IxStaticImage : public IxImageElement {
public:
    // No press tracking: the element's own targeting and input.
    IxElement* FindTarget(int inputCode, POINT point) override { return IxElement::FindTarget(inputCode, point); }
    int OnInput(int code, LPARAM data) override { return IxElement::OnInput(code, data); }
    // Also the image files of IXCONTENT_BITMAPFILE ... IXCONTENT_DECODEDLIST.
    int OnCreate(const IxElementParams* params) override;
};

// Tag of the default state table: state n shows frame n of the image.
struct IxDefaultStates {};

class IxStateImage : public IxImageElement {
public:
    // No table: the image's own frames answer the states.
    IxStateImage() = default;
    explicit IxStateImage(IxDefaultStates);
    // Six frame indices: normal, pressed, disabled, selected, selected and
    // pressed, current (-1: the state is not shown).
    explicit IxStateImage(const int (&table)[6]);

    // IXP_FRAME: the state by index, 0 normal ... 5 current.
    int SetProperty(int id, LPARAM value) override;
    // With a table the image is wrapped in an IxImageRef that maps the
    // states through it.
    int OnCreate(const IxElementParams* params) override;

protected:
    enum class Table { None, Default, Frames };
    IxImage* Wrap(IxImage* image) const;

    Table m_table = Table::None;
    int m_frames[6]{};
};

class IxToggleImage : public IxStateImage {
public:
    using IxStateImage::IxStateImage;

    int Query(int code, LPARAM* out) override;
    // IXP_FRAME: 1 selected, 0 not selected, -1 toggled; pressed and current
    // are cleared.
    int SetProperty(int id, LPARAM value) override;
    // Flips the selected state (unless marked) and reports it as the value.
    void Click(LPARAM value, BOOL redraw) override;
};

class IxMultiImage : public IxImageElement {
public:
    ~IxMultiImage() override;

    int Query(int code, LPARAM* out) override;
    // IXP_FRAME: shows the image at an index (IXFRAME_NEXT, IXFRAME_PREVIOUS
    // wrap around).
    int SetProperty(int id, LPARAM value) override;
    // IXCONTENT_IMAGE appends one image (its reference passes),
    // IXCONTENT_IMAGEARRAY every image of an IxArray<IxImage*> (each gets a
    // reference of its own).
    int OnCreate(const IxElementParams* params) override;

    // Appends an image; the caller's reference passes.
    BOOL AddImage(IxImage* image);
    int GetImageCount() const { return m_images.Count(); }
    int GetShown() const { return m_nShown; }
    // Shows the image at index (outside the list: none, the picture stays
    // and the element is marked for update); 0 when it was already shown.
    BOOL ShowIndex(int index, BOOL repaint);

private:
    IxArray<IxImage*> m_images{8};
    int m_nShown = -1;
};
