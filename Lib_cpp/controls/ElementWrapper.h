// The element wrapper: an element that owns exactly one content element (a
// button, an image, a label) and stands in its place in a view. It mirrors
// every state change to the content, passes input, properties and queries
// through, and reports the content's notices to its owner under its own id.
#pragma once

#include "Lib_cpp/controls/Element.h"

class IxElementWrapper : public IxElement {
public:
    // Takes the content (may be null: a subclass sets it later). The wrapper
    // takes over the content's id, rectangle and state flags; the content
    // moves to {0, 0, width, height}, keeps id 0 and reports its notices at
    // once to the wrapper (IXF_DIRECTNOTIFY).
    explicit IxElementWrapper(IxElement* content);
    // Deletes the content.
    ~IxElementWrapper() override;

    // Events 12, 27, 28, 29, 30, 35 and 38 to 47 are applied to the content.
    LRESULT OnEvent(int code, LPARAM param) override;
    BOOL SetFocus() override;
    // The content's target, unless it is hidden or disabled.
    IxElement* FindTarget(int inputCode, POINT point) override;
    int Layout(LPARAM arg) override;
    void Draw(IxPaintRecord* record) override;
    int Query(int code, LPARAM* out) override;
    // A notice of the content goes out again with the wrapper's id; a click
    // of a wrapper with IXF_INVALIDATEALL also asks for the whole frame to
    // be redrawn. Other kinds go to the parent.
    int OnChildNotify(int kind, LPARAM data, IxElement* sender, IxElement* origin) override;
    // The state goes to the content too (state 2 to the wrapper first, the
    // others after). With IXF_CREATEONACTIVATE the content is built at state
    // 1 and deleted at state 5.
    void SetState(int state, LPARAM param) override;
    // The wrapper itself, then the content's subtree, then outward.
    IxElement* FindElement(int kind, int id, IxArray<IxElement*>* out, IxElement* from, IxElement* stop) override;
    int SetProperty(int id, LPARAM value) override;
    // Creates the content from the record: the record's size at (0, 0), id
    // 0, IXF_DIRECTNOTIFY added. Without a record (built on activation) a
    // subclass makes its content; the plain wrapper answers 1.
    int OnCreate(const IxElementParams* params) override;

    IxElement* GetContent() const { return m_pContent; }

protected:
    // Takes a content element (an old one is deleted).
    void SetContent(IxElement* content);
    // Searches the subtrees of the owned elements (not from, the one the
    // search comes out of).
    virtual IxElement* SearchOwned(int kind, int id, IxArray<IxElement*>* out, IxElement* from, IxElement* stop);
    // Reposts the notice of the record with the wrapper's id.
    int Repost(const IxNoticeRecord* record);

    IxElement* m_pContent = nullptr;
};

// Paints an owned element (content or overlay) when it is shown and meets
// the paint's clip rectangle.
void IxPaintOwned(IxElement* element, IxPaintRecord* record);
