#include "Source/shell/Intro.h"

#include "Lib_cpp/controls/ElementApi.h"
#include "Lib_cpp/controls/ImageElement.h"
#include "Lib_cpp/core/Diag.h"
#include "Lib_cpp/core/Utility.h"
#include "Lib_cpp/image/Image.h"
#include "Lib_cpp/kernel/Kernel.h"
#include "Source/models/UnitLink.h"
#include "Source/shell/ShellIds.h"
#include "platform/gfx/Screen.h"

#include "platform/io/AudioDriver.h"
#include "platform/ui/Sound.h"
#include <iterator>

#include <new>

namespace {

constexpr const WCHAR* kLogoFolder = u"\\NAND\\Wren\\Images\\logo\\";
constexpr const WCHAR* kDefaultBackground = u"\\NAND\\Wren\\Images\\3Dgate\\type07.bmp";
constexpr const WCHAR* kIntroSound = u"\\NAND\\Wren\\wav\\Intro.wav";

constexpr int kFrameCount = 4;
constexpr int kLetterY = 172;  // the letters slide along x at this height
constexpr int kCaptionX = 276; // the caption rises along y at this x
constexpr int kSlideMs = 50;
constexpr int kTwinkleMs = 100;
constexpr int kIntroEndMs = 10000;
constexpr int kIntroSteps = 6; // the audio processor's intro steps 0 ... 5

const CIntroLetterSpec kLetters[] = {
    {FID_INTRO_LETTER_V,
     u"ani_v",
     0,
     14,
     6,
     6,
     {720, 681, 641, 602, 562, 523, 483, 444, 404, 365, 325, 286, 246, 207, 167}},
    {FID_INTRO_LETTER_O, u"ani_o", 300, 10, 6, 6, {800, 744, 688, 631, 574, 517, 461, 405, 349, 293, 239}},
    {FID_INTRO_LETTER_R, u"ani_r", 500, 12, 6, 6, {800, 760, 720, 680, 640, 600, 560, 520, 480, 440, 400, 360, 321}},
    {FID_INTRO_LETTER_T, u"ani_t", 800, 10, 6, 6, {800, 760, 720, 680, 640, 600, 560, 520, 480, 440, 396}},
    {FID_INTRO_LETTER_E, u"ani_e", 900, 11, 6, 6, {800, 773, 746, 719, 692, 665, 611, 584, 557, 530, 503, 473}},
    {FID_INTRO_LETTER_L, u"ani_l", 1200, 11, 6, 6, {800, 780, 760, 740, 720, 700, 680, 639, 618, 596, 575, 553}},
    {FID_INTRO_CAPTION,
     u"navigationsystem",
     1400,
     18,
     0,
     6,
     {460, 450, 440, 430, 420, 410, 400, 390, 380, 370, 360, 350, 340, 330, 320, 310, 300, 290, 279}},
};

} // namespace

// ---------------------------------------------------------------------------
// CIntroLetter

CIntroLetter::CIntroLetter(const CIntroLetterSpec& spec, CIntro* intro)
    : m_spec(spec), m_pIntro(intro), m_filter{IxActionWord(ACMD_INTRO_RETWINKLE, 0), 0}
{
}

POINT CIntroLetter::PointAt(int step) const
{
    const int at = m_spec.positions[step < 0 ? 0 : (step < kIntroPositionCount ? step : kIntroPositionCount - 1)];
    if (m_spec.nId == FID_INTRO_CAPTION)
        return POINT{kCaptionX, at};
    return POINT{at, kLetterY};
}

POINT CIntroLetter::StartPoint() const
{
    return PointAt(0);
}

int CIntroLetter::OnCreate(const IxElementParams*)
{
    IxStringArray paths;
    for (int i = 1; i <= kFrameCount; ++i) {
        std::u16string path(kLogoFolder);
        path.append(m_spec.pszName);
        path.append(u"_");
        path.push_back(static_cast<char16_t>(u'0' + i));
        path.append(u".png");
        paths.AddText(path.c_str());
    }
    // The letters start hidden: only the first frame is read now (it gives
    // the size), the others when the letter first shows them.
    auto* image = new (std::nothrow) IxDecodedImage(paths, IXLM_FIRST, 0);
    if (!image)
        return 0;
    SIZE size{0, 0};
    image->Query(IXIQ_SIZE, reinterpret_cast<INT_PTR>(&size));
    const POINT start = StartPoint();
    SetRectNow(RECT{start.x, start.y, start.x + size.cx, start.y + size.cy});

    auto* picture = new (std::nothrow) IxStaticImage;
    if (!picture) {
        image->Release();
        return 0;
    }
    IxElementParams params{};
    params.Set(0, 0, size.cx, size.cy, FID_INTRO_IMAGE, 0);
    params.nContentKind = IXCONTENT_IMAGE;
    params.lContentValue = reinterpret_cast<LPARAM>(image);
    picture->Create(&params);
    AddChild(picture);
    m_nStep = 0;
    m_nFrame = 0;
    ShowFrame();
    return 1;
}

LRESULT CIntroLetter::OnEvent(int code, LPARAM param)
{
    switch (code) {
    case IXEV_ATTACHED:
        if (IxKernel* kernel = IxGetKernel())
            kernel->AddListener(m_filter, this);
        if (m_spec.nDelay < 1)
            SetElementTimer(this, TMID_SLIDE, kSlideMs);
        else
            SetElementTimer(this, TMID_DELAY, m_spec.nDelay);
        break;
    case IXEV_DETACHED:
        if (IxKernel* kernel = IxGetKernel())
            kernel->RemoveListener(m_filter, this);
        KillElementTimer(this, 0);
        break;
    case IXEV_TIMER:
        OnTimer(static_cast<UINT_PTR>(param));
        return 1;
    default:
        break;
    }
    return IxView::OnEvent(code, param);
}

void CIntroLetter::OnTimer(UINT_PTR id)
{
    switch (id) {
    case TMID_DELAY:
        Show(TRUE, TRUE);
        KillElementTimer(this, TMID_DELAY);
        SetElementTimer(this, TMID_SLIDE, kSlideMs);
        break;
    case TMID_SLIDE:
        Slide();
        break;
    case TMID_TWINKLE:
        Twinkle();
        break;
    case TMID_RE_TWINKLE:
        ReTwinkle();
        break;
    default:
        break;
    }
}

void CIntroLetter::Slide()
{
    IxElementWatch self(this);
    Show(TRUE, TRUE);
    if (!self.Alive())
        return;
    if (m_nStep < m_spec.nSlideCount) {
        ++m_nStep;
        const POINT next = PointAt(m_nStep);
        MoveTo(next.x, next.y, TRUE);
        return;
    }
    KillElementTimer(this, TMID_SLIDE);
    if (m_spec.nTwinkleCount > 0)
        SetElementTimer(this, TMID_TWINKLE, kTwinkleMs);
    else
        PushGlobalAction(ACMD_INTRO_RETWINKLE, AEV_DEFAULT, 0);
}

void CIntroLetter::Twinkle()
{
    const int end = m_spec.nSlideCount + m_spec.nTwinkleCount;
    if (m_nStep >= end) {
        KillElementTimer(this, TMID_TWINKLE);
        return;
    }
    m_nFrame += m_nStep < m_spec.nSlideCount + m_spec.nTwinkleCount / 2 ? 1 : -1;
    ++m_nStep;
    ShowFrame();
}

void CIntroLetter::ReTwinkle()
{
    if (m_nStep >= m_spec.nReTwinkleCount) {
        if (m_nStep > m_spec.nReTwinkleCount)
            IxTrace(u"[CIntro] TMID_RE_TWINKLE COUNT OVER  \r\n");
        KillElementTimer(this, TMID_RE_TWINKLE);
        if (m_spec.nId == FID_INTRO_CAPTION && m_pIntro)
            m_pIntro->QueueEnd();
        return;
    }
    m_nFrame += m_nStep < m_spec.nReTwinkleCount / 2 ? 1 : -1;
    ++m_nStep;
    ShowFrame();
}

int CIntroLetter::ActionIsInvoked(int code, int, LPARAM)
{
    if (code != ACMD_INTRO_RETWINKLE)
        return 0;
    // A letter still in its own twinkle (the last one arrives only just
    // before the caption) stops it: both would step the same counter and
    // run the frame out of the picture's four.
    KillElementTimer(this, TMID_TWINKLE);
    m_nFrame = 0;
    ShowFrame();
    m_nStep = 0;
    SetElementTimer(this, TMID_RE_TWINKLE, kTwinkleMs);
    return 0;
}

void CIntroLetter::ShowFrame()
{
    if (m_nFrame < 0)
        m_nFrame = 0;
    else if (m_nFrame >= kFrameCount)
        m_nFrame = kFrameCount - 1;
    SetChildProperty(this, FID_INTRO_IMAGE, IXP_FRAME, m_nFrame);
}

// ---------------------------------------------------------------------------
// CIntro

CIntro::CIntro()
{
    m_nId = FID_INTRO;
    SetRectNow(RECT{0, 0, platform::kScreenWidth, platform::kScreenHeight});
    SetFlags(IXF_CREATEONACTIVATE | IXF_HIDDEN, 0);
}

std::u16string CIntro::BackgroundPath(LPCWSTR named)
{
    if (named && *named && IxFileExists(named))
        return named;
    return kDefaultBackground;
}

int CIntro::OnCreate(const IxElementParams*)
{
    // Setting model not known yet: no picture is named by the settings.
    const std::u16string background = BackgroundPath(nullptr);
    if (auto* image = new (std::nothrow) IxDecodedImage(background.c_str(), IXLM_NOW))
        SetBackground(image);
    for (const CIntroLetterSpec& spec : kLetters) {
        auto* letter = new (std::nothrow) CIntroLetter(spec, this);
        if (!letter)
            continue;
        IxElementParams params{};
        const POINT start = letter->StartPoint();
        params.Set(start.x, start.y, 0, 0, spec.nId, IXF_HIDDEN);
        letter->Create(&params);
        AddChild(letter);
    }
    return 1;
}

LRESULT CIntro::OnEvent(int code, LPARAM param)
{
    IxKernel* kernel = IxGetKernel();
    switch (code) {
    case IXEV_ATTACHED:
        m_bEndQueued = FALSE;
        if (kernel) {
            kernel->Subscribe(ACMD_KEY_MODE, this);
            kernel->Subscribe(FID_EXT_MODEPOPUP, this);
        }
        // Setting model not known yet: the micom is not asked for its intro setting (0xC1000118).
        // The model center's two start steps on the intro's creation are left out until they exist.
        SetElementTimer(this, TMID_INTRO_END, kIntroEndMs);
        break;
    case IXEV_SHOWN:
        sndPlaySoundW(kIntroSound, SND_ASYNC);
        for (int step = 0; step < kIntroSteps; ++step)
            GetUnitLink().m_hAudio.IoctlByte(static_cast<DWORD>(AudioIoctl::Intro), static_cast<DWORD>(step));
        break;
    case IXEV_TIMER:
        if (static_cast<UINT_PTR>(param) == TMID_INTRO_END) {
            KillElementTimer(this, TMID_INTRO_END);
            QueueEnd();
            return 1;
        }
        break;
    case IXEV_DETACHED:
        if (kernel) {
            kernel->Unsubscribe(ACMD_KEY_MODE, this);
            kernel->Unsubscribe(FID_EXT_MODEPOPUP, this);
        }
        KillElementTimer(this, TMID_INTRO_END);
        break;
    default:
        break;
    }
    return IxView::OnEvent(code, param);
}

int CIntro::ActionIsInvoked(int code, int, LPARAM)
{
    return code == ACMD_KEY_MODE || code == FID_EXT_MODEPOPUP ? 1 : 0;
}

int CIntro::TimedLengthMs()
{
    const CIntroLetterSpec& caption = kLetters[std::size(kLetters) - 1];
    return caption.nDelay + (caption.nSlideCount + 1) * kSlideMs + (caption.nReTwinkleCount + 1) * kTwinkleMs;
}

void CIntro::QueueEnd()
{
    // The caption's last twinkle and the end timer both end the intro:
    // whichever comes first queues the end, and only once.
    if (m_bEndQueued)
        return;
    m_bEndQueued = TRUE;
    KillElementTimer(this, TMID_INTRO_END);
    PushGlobalAction(FID_INTRO, AEV_DEFAULT, 0);
}
