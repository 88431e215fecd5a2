// Frame views (one active page among several) and window views (views
// attached beside the pages, painted and hit in front of everything else).
#pragma once

#include "Lib_cpp/controls/View.h"

// 1 when the array holds value.
BOOL ArrayContains(const IxArray<IxElement*>* array, IxElement* value);
// Removes the first occurrence of value and closes the gap; 1 when found.
BOOL ArrayRemoveValue(IxArray<IxElement*>* array, IxElement* value);

class IxFrameView : public IxView {
public:
    IxFrameView() = default;
    ~IxFrameView() override;

    IxElement* FindTarget(int inputCode, POINT point) override;
    int Layout(LPARAM arg) override;
    void Draw(IxPaintRecord* record) override;
    IxElement* FindElement(int kind, int id, IxArray<IxElement*>* out, IxElement* from, IxElement* stop) override;

    // Parent = the frame; appended to the page list. The frame owns it.
    void AddPage(IxElement* page);
    // Deactivates the old page and activates the new one while the frame is
    // active; otherwise only stores it.
    void SetActivePage(IxElement* page, LPARAM onParam, LPARAM offParam);
    // 0 when no page has the id.
    int SetActivePageById(int id, LPARAM onParam, LPARAM offParam);
    void DeleteAllPages();
    IxElement* GetActivePage() const { return m_pActivePage; }
    const IxList& Pages() const { return m_pages; }

protected:
    void UnlinkDeleted(IxElement* child) override;
    void PassStateDown(int state, LPARAM param) override;
    void DropCreated() override;

    IxList m_pages;
    IxElement* m_pActivePage = nullptr;
};

class IxWindowView : public IxFrameView {
public:
    explicit IxWindowView(void* window = nullptr) : m_pWindow(window) {}
    ~IxWindowView() override;

    IxElement* FindTarget(int inputCode, POINT point) override;
    int Layout(LPARAM arg) override;
    void Draw(IxPaintRecord* record) override;
    void SetState(int state, LPARAM param) override;
    IxElement* FindElement(int kind, int id, IxArray<IxElement*>* out, IxElement* from, IxElement* stop) override;

    // Appends the view (the window view owns it from then on); 0 when the
    // array cannot grow, and the view's parent is then left untouched.
    BOOL AttachView(IxElement* view);
    // Removes, deactivates and un-parents the view; it is not deleted.
    void DetachView(IxElement* view);
    const IxArray<IxElement*>& Attached() const { return m_attached; }
    void* GetWindow() const { return m_pWindow; }

protected:
    void UnlinkDeleted(IxElement* child) override;

    IxArray<IxElement*> m_attached;
    void* m_pWindow;
};
