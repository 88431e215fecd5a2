// The variants of the model-bound sheet:
//
// - CSourceSheet: a source screen whose device messages (codes 8 and 10)
//   close the screen after a display time of its own.
// - COSDSourceView: the source part of the on-screen display; it gives only
//   the audio back when it goes.
// - CPIPSourceView: a picture-in-picture screen; it says so when it comes up.
// - CZoneSourcePanel: a source panel of the dual-zone screen, bound to its
//   zone; it starts nothing by itself.
#pragma once

#include "Source/screens/common/ModelSheet.h"

class CSourceSheet : public CModelSheet {
public:
    // messageTime: ms the device messages stay before the screen closes.
    CSourceSheet(int messageTime, int popupInterval, IxSourceModel* model)
        : CModelSheet(popupInterval, model), m_nMessageTime(messageTime)
    {
    }
    int MessagePanel(int code) override;

protected:
    int m_nMessageTime;
};

class COSDSourceView : public CModelSheet {
public:
    explicit COSDSourceView(IxSourceModel* model) : CModelSheet(kPopupInterval, model) {}
    void EnterSource() override;
    void LeaveSource() override;
    void OnShow() override;
    int MessagePanel(int code) override;

    static constexpr int kPopupInterval = 500;
};

class CPIPSourceView : public CSourceSheet {
public:
    CPIPSourceView(int messageTime, int popupInterval, IxSourceModel* model)
        : CSourceSheet(messageTime, popupInterval, model)
    {
    }
    void EnterSource() override;
};

class CZoneSourcePanel : public CModelSheet {
public:
    CZoneSourcePanel(int zone, IxSourceModel* model) : CModelSheet(0, model) { m_nZone = zone; }
    void EnterSource() override;
    void LeaveSource() override;
    void StartSource() override {}
    void OnShow() override {}
};
