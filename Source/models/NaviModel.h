// The navigation program's model (MODELID_NAVI) over its link, the
// navigation link, which the shell builds: GetNaviModel finds the model in
// the model center or makes it, with the link's owner CNaviLinkOwner in
// between. The owner is a small reference-counted object of its own (the
// link holds it, the model owns the link, so the link does not hold the
// model): it turns the link's reports into the model's action
// MLA_EXTAPPREPORT, queued through a notify target, and answers the link's
// questions about the rest of the unit.
//
// User-interface thread only.
#pragma once

#include "Source/models/ExtAppModel.h"
#include "Source/models/LumoOwner.h"

class IxNotifyTarget;

class CNaviModel : public ExtAppModel {
public:
    // Listens to the link's reports and to the forwarded broadcasts.
    explicit CNaviModel(IxExtAppBridge* bridge);
    ~CNaviModel() override;

    static const DWORD* ListenerFilter();

private:
    BOOL m_bListening = FALSE;
};

class CNaviLinkOwner final : public CLumoOwner {
public:
    // Reference count 1, with its notify target; null when memory runs out.
    static CNaviLinkOwner* Create();

    void AddRef() override { ++m_nRef; }
    int Release() override;
    // Posts {MLA_EXTAPPREPORT, notice} with the link as the value.
    void OnLumoNotice(LumoNotice notice) override;
    // The model center's first enable word; 1 without a center.
    BOOL IsNaviEnabled() const override;
    // A call needs the Bluetooth model: without one there is none.
    BOOL IsCallActive() const override;
    // The guidance is mixed in unless the setting model forbids it; without
    // a setting model it is allowed.
    BOOL IsGuidanceAllowed() const override;

    // The link whose reports these are (the value of the posted action).
    void SetSender(const IxExtAppBridge* link) { m_pSender = link; }
    int GetRefCount() const { return m_nRef; }

private:
    explicit CNaviLinkOwner(IxNotifyTarget* target) : m_pTarget(target) {}
    ~CNaviLinkOwner();

    IxNotifyTarget* m_pTarget;
    const IxExtAppBridge* m_pSender = nullptr;
    int m_nRef = 1;
};

// How the shell builds the navigation link over its owner (the link takes
// its own reference to the owner); null when it cannot.
using NaviLinkFactory = IxExtAppBridge* (*)(CLumoOwner* owner);
void SetNaviLinkFactory(NaviLinkFactory factory);

// The navigation model with one more reference: found in the model center,
// else made with its link. Null when memory runs out or no link can be made
// (last error IXERR_NOMEMORY), or when the model center holds a model of the
// id that is not the navigation model.
CNaviModel* GetNaviModel();
