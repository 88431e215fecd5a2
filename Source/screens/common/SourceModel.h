// What the model-bound screens ask of a source model: the play state and
// its requests, position, length and track numbers, the play and order
// modes, the device connection, the browse position, the video window, and
// the steps a screen runs when it shows, hides, pauses and resumes. A
// device-source model implements it; the screens hold it by reference count
// (IxModel's) and hear its notifications (SheetCodes.h, SMN_*).
#pragma once

#include "Lib_cpp/core/String.h"
#include "Source/models/Model.h"
#include "Source/screens/common/SheetCodes.h"
#include "platform/base/Types.h"

class IxSourceModel : public IxModel {
public:
    explicit IxSourceModel(int modelId) : IxModel(modelId) {}

    // ---- Play state ----
    // The play state as the screens show it: SPS_*.
    virtual int GetPlayState() const = 0;
    BOOL IsPlaying() const { return GetPlayState() == SPS_PLAYING; }
    // A play request is in flight or playback runs.
    virtual BOOL IsActiveState() const = 0;
    // Length and position in seconds; -1 / 0 when unknown.
    virtual int GetLength() const = 0;
    virtual int GetPlayPosition() const = 0;
    virtual void SetPlayPosition(int seconds) = 0;
    // Plays on from where it stands.
    virtual BOOL PlayCurrent() = 0;
    virtual BOOL RequestPause() = 0;
    // Starts playback of the target (or automatically when the list allows).
    virtual BOOL StartPlayback() = 0;
    // Plays the selection made before the screen came up.
    virtual BOOL PlayPendingSelection() = 0;
    // The previous (direction 0) or next (1) entry.
    virtual BOOL RequestSkip(int direction) = 0;
    // A fast search backward (0) or forward (1); the direction of the search
    // that runs, -1 for none.
    virtual BOOL RequestSearch(int direction) = 0;
    virtual int GetSearchDirection() const = 0;

    // ---- Play and order modes (SPM_*) ----
    virtual BOOL IsPlayMode(int mode) const = 0;
    virtual BOOL RequestPlayMode(int mode) = 0;

    // ---- Track numbers; -1 unknown ----
    virtual int GetTrackTotal() const = 0;
    virtual int GetTrackNumber() const = 0;

    // ---- Device ----
    virtual BOOL IsDeviceReady() const = 0;
    virtual BOOL IsDeviceFailed() const = 0;
    virtual BOOL IsConnecting() const = 0;
    virtual BOOL ConnectDevice() = 0;
    // The model's failure since the last request (a message for the user).
    virtual BOOL HasError() const = 0;

    // ---- Browse position ----
    virtual BOOL HasRootNode() const = 0;
    // The list of playable entries has been read.
    virtual BOOL IsListLoaded() const = 0;
    // A target was chosen that has not started yet.
    virtual BOOL IsTargetPending() const = 0;
    virtual BOOL HasValidTarget() const = 0;
    // The first entry of the list becomes the target.
    virtual void SelectFirstTarget() = 0;
    // The entry the model stands on becomes the selection.
    virtual void SelectCurrentIndex() = 0;
    // The browse tree follows to the current node.
    virtual void FollowCurrentNode() = 0;
    // Whether the model has a list the screen asks for, and the request.
    virtual BOOL HasList() const = 0;
    virtual void RequestList() = 0;
    // The texts a screen shows about the source: 0 the first, 1 the second
    // (the title).
    virtual IxString GetInfoText(int which) const = 0;

    // ---- Video ----
    virtual BOOL HasVideoLayout() const = 0;
    // The video's rectangle on the screen; FALSE when none is known.
    virtual BOOL GetVideoRect(RECT* out) const = 0;
    BOOL ShowsVideo() const { return (GetStatus() & (SMS_VIDEOON | SMS_VIDEOHIDDEN | SMS_VIDEODELAY)) == SMS_VIDEOON; }

    // ---- Steps of the screens ----
    // ms between position notifications while playing.
    virtual void SetUpdateInterval(int ms) = 0;
    virtual void FirstShow(int arg) = 0;
    virtual void ResumeScreen(int zone) = 0;
    virtual void PauseScreen(int zone) = 0;
    virtual void DetachScreen() = 0;
};
