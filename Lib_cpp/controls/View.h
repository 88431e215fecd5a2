// The view: an element with children.
#pragma once

#include "Lib_cpp/controls/Element.h"

// An element with children. It owns them and deletes them with itself.
// List order is paint order: the tail is drawn last, in front, and is hit
// first.
class IxView : public IxElement {
public:
    IxView() = default;
    ~IxView() override;

    // The state events 38 to 47 first show the background image's frame of
    // the new state.
    LRESULT OnEvent(int code, LPARAM param) override;
    IxElement* FindTarget(int inputCode, POINT point) override;
    int OnInput(int code, LPARAM data) override;
    void Invalidate(int mode, RECT* rect, IxElement* origin) override;
    int Layout(LPARAM arg) override;
    void Draw(IxPaintRecord* record) override;
    int OnChildNotify(int kind, LPARAM data, IxElement* sender, IxElement* origin) override;
    void SetState(int state, LPARAM param) override;
    LRESULT Control(int code, LPARAM a, LPARAM b) override;
    IxElement* FindElement(int kind, int id, IxArray<IxElement*>* out, IxElement* from, IxElement* stop) override;
    int SetProperty(int id, LPARAM value) override;

    // Links the child at the end and makes this view its parent; an active
    // view activates the child and, unless its layout is pending, marks
    // itself for update.
    void AddChild(IxElement* child);
    void InsertChildAfter(IxElement* after, IxElement* child, BOOL repaint);
    // Unlinks the child, deactivates it when both are active, deletes it.
    void RemoveChild(IxElement* child, BOOL repaint);
    // Unlinks and deletes without deactivation or repaint.
    void DeleteChild(IxElement* child);
    void DeleteAllChildren();
    // 0 when child is after or already follows it; 1 when moved.
    int MoveChildAfter(IxElement* child, IxElement* after);
    IxElement* FindChildDeep(int id);
    void SetChildrenState(int state, LPARAM param);
    static void SetChainVisible(IxElement* first, BOOL show, BOOL repaint);
    static IxElement* FindInChain(IxElement* first, int id);

    void SelectAllChildren(BOOL on, LPARAM repaint);
    int CountSelected() const;
    int IndexOfFirstSelected() const;
    int IndexOfFirstCurrent() const;
    int IndexOfId(int id) const;
    IxElement* FirstSelectedChild() const;
    IxElement* FirstCurrentChild() const;
    void SelectedIndexes(IxArray<int>* out) const;
    void SelectedChildren(IxArray<IxElement*>* out) const;

    // Hit test from the tail; hidden and disabled children are skipped.
    IxElement* ChildTargetAt(int inputCode, POINT point);
    // The child (tail first) whose rectangle holds the point, whatever its flags.
    IxElement* ChildAt(POINT point) const;
    void PaintChildren(IxPaintRecord* record);
    // As PaintChildren, but the (last) current child is painted after the others.
    void PaintChildrenCurrentLast(IxPaintRecord* record);

    void ClickChild(IxElement* child, int base);
    void ClickChildAt(POINT point, int base);
    void SelectChild(IxElement* child, BOOL toggle);
    // Without toggle, a child that is already selected (and does not click
    // on press) is clicked again: the view hears IXEV_RESELECTED with its
    // position + base (its id when base is negative), then ClickChild. In
    // every other case SelectChild.
    void SelectOrClick(IxElement* child, int base, BOOL toggle);
    // The same for the enabled child under the point.
    void SelectOrClickAt(POINT point, int base, BOOL toggle);
    void SelectChildById(int id, BOOL toggle);
    void SetCurrentChild(IxElement* child);

    const IxList& Children() const { return m_children; }

    // The background image (property 1), drawn stretched over the view
    // before everything else. The caller's reference passes to the view; the
    // new image takes over the frame the old one showed.
    void SetBackground(IxImage* image);
    IxImage* GetBackground() const { return m_pBackground; }

protected:
    friend class IxElement; // unlinks a child that is deleted while linked

    void DrawBackground(IxPaintRecord* record);

    // Called from a child's destructor while it is still linked here.
    virtual void UnlinkDeleted(IxElement* child);
    // Step 3 of SetState: the state to the children (a frame view first to
    // its active page).
    virtual void PassStateDown(int state, LPARAM param);
    // Created-on-activation views drop what OnCreate built at state 5.
    virtual void DropCreated();
    // Hit test of one element in this view's coordinates (0x600 skipped).
    static IxElement* TargetIn(IxElement* element, int inputCode, POINT point);
    // Paints one element when it is not hidden and meets the clip.
    static void PaintIfVisible(IxElement* element, IxPaintRecord* record);
    // Runs fn on every child, head first, while this view and the next child
    // stay alive. Returns whether the view is still alive.
    template <class F> bool EachChild(F fn)
    {
        IxElementWatch self(this);
        for (IxListNode* node = m_children.Head(); node && self.Alive();) {
            IxElement* next = node->m_pNext ? FromNode(node->m_pNext) : nullptr;
            IxElementWatch nextWatch(next);
            fn(FromNode(node));
            if (!nextWatch.Alive())
                break;
            node = next;
        }
        return self.Alive();
    }

    IxList m_children;
    IxImage* m_pBackground = nullptr;
};
