// The picture control: an image element showing a picture file named by a
// path, scaled to the element's size.
//
// When a list up the parent chain offers a stand-by picture, the control
// shows it at once and hands the decoding to the program's IxImageLoader;
// the decoded picture replaces the stand-by picture when it arrives (event
// IXEV_PICTUREREADY). Without a stand-by picture the control shows an image
// that decodes the file on first use. Changing the path, showing the empty
// picture, clearing, marking, detaching and destroying cancel a pending load.
#pragma once

#include "Lib_cpp/controls/ImageElement.h"
#include "Lib_cpp/controls/ListImageTable.h"
#include "Lib_cpp/core/String.h"

class IxImageLoader;

class IxPathImage : public IxImageElement {
public:
    // loader: null for the program's loader.
    explicit IxPathImage(IxImageLoader* loader = nullptr);
    ~IxPathImage() override;

    // IXP_TEXTNOW, IXP_TEXTLATER, IXP_TEXTRECORDNOW, IXP_TEXTRECORDLATER
    // with an IxString*: a path shows its picture, an empty string the empty
    // picture, null nothing. IXP_TEXTNOW lays the element out again and
    // repaints; the others repaint once the element has been laid out.
    int SetProperty(int id, LPARAM value) override;
    LRESULT OnEvent(int code, LPARAM param) override;

    void SetPath(const IxString& path);
    void ShowEmpty();
    void Clear();
    // Cancels the pending load, if any, and forgets its path.
    void CancelLoad();
    // Shows the loaded picture when the loader has it for this control.
    void TakeLoadedImage();

    const IxString& GetPendingPath() const { return m_path; }

private:
    // Shows image (the caller's reference passes; may be null).
    void Show(IxImage* image);
    IxImage* AskListImage(int index);

    IxImageLoader* m_pLoader;
    IxString m_path; // non-empty while a load is pending
};
