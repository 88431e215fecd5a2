// The model of an external program that the unit shows beside its own
// screens (the navigation program): it launches and stops the program
// through its link, follows whether the program is ready and whether its
// picture is asked for or shown, and passes the screens' layout, show and
// hide requests on. The link reports back as the action MLA_EXTAPPREPORT
// (kind: the report, value: the link); the program's own messages, which
// the kernel forwards as IXA_BROADCASTMESSAGE, are handed to the link.
//
// User-interface thread only.
#pragma once

#include "Source/models/ExtAppBridge.h"
#include "Source/models/Model.h"

// The model's state.
enum : int {
    EXTAPP_IDLE = 0,
    EXTAPP_LAUNCHING = 1, // the launch was asked for
    EXTAPP_READY = 2,     // the program reported that it is ready
    EXTAPP_HIDDEN = 3,
    EXTAPP_SHOWING = 4, // the picture was asked for
    EXTAPP_SHOWN = 5,
};

class ExtAppModel : public IxModel {
public:
    // Takes the link: it is deleted with the model.
    ExtAppModel(int modelId, IxExtAppBridge* bridge);
    ~ExtAppModel() override;

    // 0 when launched already (nothing is asked of the link); else 1.
    int Launch();
    // The link's stop with the flag; back to idle with layout 0; the link's
    // answer.
    LRESULT Stop(int flag);
    int GetLayout() const;
    void HoldView(BOOL on, int value);
    void SyncView();
    // Stored; passed on while the picture is asked for or shown.
    void SetLayout(int layout);
    // Asks for the picture in the stored layout; while it is asked for or
    // shown already, the link's repeated show and its answer.
    LRESULT Show(int flag);
    // 1 when the picture was asked for or shown (it is hidden now), else 0.
    int Hide();
    using IxModel::Notify;
    // Passes the value to the link; 1.
    int Notify(int value);
    // The picture shows.
    void VideoIsReady();

    int ActionIsInvoked(int code, int kind, LPARAM param) override;

    int GetState() const { return m_nState; }
    int GetStoredLayout() const { return m_nLayout; }
    IxExtAppBridge* GetBridge() const { return m_pBridge; }

protected:
    void OnReport(int report);

    IxExtAppBridge* m_pBridge;
    int m_nState = EXTAPP_IDLE;
    int m_nLayout = 0;
};
