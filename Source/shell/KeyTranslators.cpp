#include "Source/shell/KeyTranslators.h"

#include "Lib_cpp/core/Diag.h"
#include "Lib_cpp/frame/KernelFrame.h"
#include "Source/shell/ShellIds.h"

#include <iterator>
#include <new>

namespace {

constexpr int kFast = 100;
constexpr int kSlow = 500;

const CKeyTranslation kTranslations[] = {
    {KEY_PHONEON, FID_EXT_MODEKEY, 0},
    {KEY_MUTE, ACMD_KEY_POWER, 0},
    {KEY_STEERINGMUTE, KEY_STEERINGMUTEHELD, 0},
    {KEY_TILT, KEY_TILTHELD, kSlow},
    {KEY_POWER, ACMD_KEY_SCREENOFF, 0},
    {KEY_VOLUP, ACMD_VOLUMEUP, kFast},
    {KEY_VOLDOWN, ACMD_VOLUMEDOWN, kFast},
    {KEY_SEEKUP, KEY_SEEKUPHELD, kSlow},
    {KEY_SEEKDOWN, KEY_SEEKDOWNHELD, kSlow},
    {KEY_PHONEOFF, KEY_PHONEOFFHELD, kSlow},
    {KEY_REMOTE_LEFTUP, KEY_REMOTE_LEFTUPHELD, kSlow},
    {KEY_REMOTE_89, KEY_REMOTE_89HELD, kSlow},
    {KEY_REMOTE_RIGHTUP, KEY_REMOTE_RIGHTUPHELD, kSlow},
    {KEY_REMOTE_105, KEY_REMOTE_105HELD, kSlow},
    {KEY_REMOTE_JOGUP, FID_EXT_ROWUP, kSlow},
    {KEY_REMOTE_JOGDOWN, FID_EXT_ROWDOWN, kSlow},
    {KEY_REMOTE_JOGLEFT, FID_EXT_LEFT, kSlow},
    {KEY_REMOTE_JOGRIGHT, FID_EXT_RIGHT, kSlow},
    {KEY_REMOTE_JOGCENTER, FID_EXT_ENTER, kSlow},
    {KEY_REMOTE_VOLUP, ACMD_VOLUMEUP, kSlow},
    {KEY_REMOTE_VOLDOWN, ACMD_VOLUMEDOWN, kSlow},
    {KEY_REMOTE_DISPLAY, KEY_REMOTE_DISPLAYHELD, kSlow},
    {KEY_REMOTE_SEARCH, KEY_REMOTE_SEARCHHELD, kSlow},
    {KEY_REMOTE_RANDOM, KEY_REMOTE_RANDOMHELD, kSlow},
    {KEY_REMOTE_MENU, KEY_REMOTE_MENUHELD, kSlow},
    {KEY_REMOTE_ABREPEAT, KEY_REMOTE_ABREPEATHELD, kSlow},
    {KEY_REMOTE_TITLE, KEY_REMOTE_TITLEHELD, kSlow},
    {KEY_REMOTE_AUDIO, KEY_REMOTE_AUDIOHELD, kSlow},
    {KEY_REMOTE_SUBTITLE, KEY_REMOTE_SUBTITLEHELD, kSlow},
    {KEY_REMOTE_PLAYPAUSE, KEY_REMOTE_PLAYPAUSEHELD, 0},
    {KEY_REMOTE_NAVI, FID_EXT_DMBVOICE04, 0},
    {KEY_REMOTE_69, FID_EXT_IPODVOICE06, 0},
    {KEY_REMOTE_ANGLE, KEY_REMOTE_ANGLEHELD, 0},
    {KEY_REMOTE_ZOOM, KEY_REMOTE_ZOOMHELD, 0},
    {KEY_REMOTE_MODE, FID_EXT_MODEKEY, 0},
    {KEY_REMOTE_UPDOWN, ACMD_RT_OPENCLOSE, kSlow},
};

} // namespace

CKeyTranslator::CKeyTranslator(const CKeyTranslation& row)
    : IxKeyPressWrapper(row.nSource, 0, kHoldMs, row.nRepeat, 0), m_nSource(row.nSource), m_nRepeat(row.nRepeat)
{
    SetId(row.nEmitted);
    SetFlags(IXF_HIDDEN, 0);
}

const CKeyTranslation* CKeyTranslator::Table(int* count)
{
    *count = static_cast<int>(std::size(kTranslations));
    return kTranslations;
}

int CKeyTranslator::AddAll(IxKernelFrame* frame)
{
    if (!frame)
        return 0;
    int added = 0;
    for (const CKeyTranslation& row : kTranslations) {
        auto* translator = new (std::nothrow) CKeyTranslator(row);
        if (!translator) {
            IxRecordError(IXERR_NOMEMORY);
            continue;
        }
        frame->AddChild(translator);
        ++added;
    }
    return added;
}
