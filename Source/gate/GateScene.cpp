#include "Source/gate/GateScene.h"

#include "Lib_cpp/core/Diag.h"
#include "Source/gate/GateGL.h"

#include <GLES/gl.h>

#include <algorithm>
#include <cmath>

namespace gate {
namespace {

constexpr float kPi = 3.14159265358979f;

int Id(GateButtonId id)
{
    return static_cast<int>(id);
}

bool IsMainButton(GateButtonId id)
{
    return id >= GateButtonId::Navigation && id <= GateButtonId::Settings;
}

bool IsSubButton(GateButtonId id)
{
    return id >= GateButtonId::Fm && id <= GateButtonId::DvdSettings;
}

// The sub-button row of a mode: first and last id; none for navigation.
struct Row {
    GateButtonId first;
    GateButtonId last;
};
bool RowOf(GateMode mode, Row* row)
{
    switch (mode) {
    case GateMode::Broadcasting:
        *row = {GateButtonId::Fm, GateButtonId::Dab};
        return true;
    case GateMode::Multimedia:
        *row = {GateButtonId::Video, GateButtonId::Dvd};
        return true;
    case GateMode::Devices:
        *row = {GateButtonId::Camera, GateButtonId::Add};
        return true;
    case GateMode::Settings:
        *row = {GateButtonId::ButtonLight, GateButtonId::DvdSettings};
        return true;
    default:
        return false;
    }
}

// x of the sparkle's centre under each main button.
const int kHighlightX[] = {85, 240, 395, 550, 725};

// The shadow is drawn under each main button: moved right by these between
// the draws.
const float kShadowSteps[] = {151, 153, 155, 170};

// The order the sub-buttons are drawn in ("add" is never drawn).
const GateButtonId kSubButtonDrawOrder[] = {
    GateButtonId::Fm,          GateButtonId::Am,     GateButtonId::Dmb,           GateButtonId::Dab,
    GateButtonId::Video,       GateButtonId::Audio,  GateButtonId::Photo,         GateButtonId::Dvd,
    GateButtonId::Bluetooth,   GateButtonId::Aux,    GateButtonId::Ipod,          GateButtonId::Camera,
    GateButtonId::DvdSettings, GateButtonId::System, GateButtonId::AudioSettings, GateButtonId::Display,
    GateButtonId::ButtonLight,
};

// The volume popup's number: one digit centred, two side by side.
constexpr float kDigitY = 268, kDigitW = 15, kDigitH = 22, kDigitDepth = 5;
constexpr float kOneDigitX = 392, kTensX = 385, kUnitsX = 400;

} // namespace

CGateScene::CGateScene()
{
    for (int i = 0; i < kSparkleColours; ++i) {
        m_red[i] = 0.2f * std::sin(static_cast<float>(i) * kPi / 8) + 0.1f;
        m_green[i] = 0.2f * std::sin(static_cast<float>(i + 10) * kPi / 8) + 0.1f;
        m_blue[i] = 0.2f * std::sin(static_cast<float>(i + 20) * kPi / 8) + 0.1f;
    }
}

BOOL CGateScene::IsGroupLoaded(int group)
{
    return m_pLoader ? m_pLoader->IsGroupLoaded(group) : FALSE;
}

BOOL CGateScene::WaitUntilResFinished(int group)
{
    return m_pLoader ? m_pLoader->WaitUntilResFinished(group) : FALSE;
}

GateButton& CGateScene::Label(GateButtonId mainButton)
{
    return m_images.labels[static_cast<std::size_t>(Id(mainButton) - Id(GateButtonId::Navigation))];
}

void CGateScene::Press(GateButtonId id, BOOL pressed)
{
    if (pressed == 1)
        m_nPressed = id;
    for (GateButton* title : {&m_images.titleAvOn, &m_images.titleAvOff, &m_images.titleDisplayOff, &m_images.titleDual,
                              &m_images.titleClose})
        title->SetPressed(false);
    const bool on = pressed != 0;
    if (IsMainButton(id)) {
        m_nMode = static_cast<GateMode>(Id(id));
        m_nHighlightX = kHighlightX[Id(id) - Id(GateButtonId::Navigation)];
        for (int b = Id(GateButtonId::Navigation); b <= Id(GateButtonId::Settings); ++b)
            Label(static_cast<GateButtonId>(b)).SetPressed(b == Id(id) && on);
        return;
    }
    switch (id) {
    case GateButtonId::AvOnOff:
        (m_bAvFlag ? m_images.titleAvOn : m_images.titleAvOff).SetPressed(on);
        return;
    case GateButtonId::DisplayOff:
        m_images.titleDisplayOff.SetPressed(on);
        return;
    case GateButtonId::Dual:
        m_images.titleDual.SetPressed(on);
        return;
    case GateButtonId::Close:
        m_images.titleClose.SetPressed(on);
        return;
    default:
        break;
    }
    if (IsSubButton(id))
        for (int sub = Id(GateButtonId::Fm); sub <= Id(GateButtonId::DvdSettings); ++sub)
            m_images.SubButton(sub).SetPressed(sub == Id(id) && on);
}

void CGateScene::SetMode(GateMode mode, GateButtonId button)
{
    Row row{};
    if (mode == GateMode::Navigation || RowOf(mode, &row)) {
        Press(static_cast<GateButtonId>(static_cast<int>(mode)), TRUE);
        m_nMode = m_nAppliedMode = mode;
        if (mode != GateMode::Navigation)
            for (int sub = Id(GateButtonId::Fm); sub <= Id(GateButtonId::DvdSettings); ++sub)
                m_images.SubButton(sub).SetState(sub >= Id(row.first) && sub <= Id(row.last)
                                                     ? GateAnimRequest::SetShown
                                                     : GateAnimRequest::SetHidden);
    } else {
        IxTrace(u"[3dGate] Error : Unknown State_Mode\n");
    }
    SelectButton(button);
}

void CGateScene::SelectButton(GateButtonId button)
{
    Press(button, TRUE);
    for (int sub = Id(GateButtonId::Fm); sub <= Id(GateButtonId::DvdSettings); ++sub)
        m_images.SubButton(sub).SetSelected(sub == Id(button));
}

void CGateScene::ShowVolume(int step)
{
    m_bVolumeShown = TRUE;
    m_nVolume = step;
}

void CGateScene::SetVolumeButtons(BOOL minusPressed, BOOL plusPressed)
{
    m_images.volumeMinus.SetPressed(minusPressed != 0);
    m_images.volumePlus.SetPressed(plusPressed != 0);
}

void CGateScene::SetOkPressed(BOOL pressed)
{
    m_images.popupOk.SetPressed(pressed != 0);
}

void CGateScene::SetBackground(const std::string& path)
{
    auto lock = GateGL::Lock();
    m_images.background.Background().ReloadBackground(path);
}

int CGateScene::VolumeBarIndex(int step)
{
    // Bars 00-25 stand for steps 0-51; a step outside shows the nearest.
    return std::clamp(step / 2, 0, kGateVolumeBars - 1);
}

int CGateScene::VolumeNumber(int step)
{
    return std::clamp(step, 0, kMaxVolumeShown);
}

// ---------------------------------------------------------------------------
// Render

void CGateScene::Render()
{
    m_images.background.Draw();
    m_images.title.Draw();
    if (m_nPressed != GateButtonId::None)
        DrawSparkle();
    DrawShadows();
    AdvanceFlip();
    ApplyModeChange();
    DrawMainButtons();
    for (GateButton& label : m_images.labels)
        label.Draw();
    DrawTitle();
    DrawSubButtons();
    DrawPopups();
    if (m_bVolumeShown)
        DrawVolume();
}

void CGateScene::DrawSparkle()
{
    m_nSparkleCounter += 50;
    for (int i = 0; i < kSparkleParticles; ++i) {
        const float t = (static_cast<float>(m_nSparkleCounter) / 96 + 2.0f * static_cast<float>(i)) * 0.25f;
        const float sx = 1 + 0.3f * std::cos(t);
        const float sy = 1 + 0.3f * std::cos(0.8f * t);
        const float angle = 180 * (1 + std::sin(0.2f * (t - static_cast<float>(i))));
        glPushMatrix();
        glTranslatef(static_cast<float>(m_nHighlightX), 400, 0);
        glRotatef(angle, 0, 0, 1);
        glScalef(2 * sx, 2 * sy, 1);
        m_images.aura.SetColor(m_red[i], m_green[i], m_blue[i], 1.0f);
        m_images.aura.Draw();
        glPopMatrix();
    }
}

void CGateScene::DrawShadows()
{
    glPushMatrix();
    m_images.shadow.Draw();
    for (float step : kShadowSteps) {
        glTranslatef(step, 0, 0);
        m_images.shadow.Draw();
    }
    glPopMatrix();
}

void CGateScene::AdvanceFlip()
{
    if (++m_nFrameParity % 2 != 0)
        return;
    if (m_nFrame >= kLastFlipFrame)
        m_nFrame = kFirstFlipFrame;
    else
        ++m_nFrame;
}

void CGateScene::ApplyModeChange()
{
    if (m_nMode == m_nAppliedMode)
        return;
    m_nAppliedMode = m_nMode;
    Row row{};
    const bool hasRow = RowOf(m_nMode, &row);
    if (m_nMode == GateMode::Navigation || hasRow)
        for (int sub = Id(GateButtonId::Fm); sub <= Id(GateButtonId::DvdSettings); ++sub) {
            const bool inRow = hasRow && sub >= Id(row.first) && sub <= Id(row.last);
            m_images.SubButton(sub).SetState(inRow ? GateAnimRequest::Show : GateAnimRequest::Hide);
        }
    if (Id(m_nPressed) < Id(GateButtonId::AvOnOff))
        m_nFrame = kFirstFlipFrame;
}

void CGateScene::DrawMainButtons()
{
    glEnable(GL_DEPTH_TEST);
    for (int b = 0; b < kGateMainButtons; ++b) {
        const bool active = static_cast<int>(m_nMode) == b + 1;
        const int frame = active ? std::clamp(m_nFrame, 0, kGateButtonFrames) : 0;
        m_images.mainButtons[static_cast<std::size_t>(b)][static_cast<std::size_t>(frame)].Draw();
    }
    glDisable(GL_DEPTH_TEST);
}

void CGateScene::DrawTitle()
{
    (m_bAvFlag ? m_images.titleAvOn : m_images.titleAvOff).Draw();
    m_images.titleDisplayOff.Draw();
    m_images.titleDual.Draw();
    m_images.titleClose.Draw();
}

void CGateScene::DrawSubButtons()
{
    for (GateButtonId id : kSubButtonDrawOrder)
        m_images.SubButton(Id(id)).Draw();
}

void CGateScene::DrawPopups()
{
    if (m_bPopup1) {
        m_images.popups[0].Draw();
        m_images.popupOk.Draw();
    }
    if (m_bPopup2) {
        m_images.popups[1].Draw();
        m_images.popupOk.Draw();
    }
}

void CGateScene::DrawDigit(int digit, float x)
{
    GateImage& image = m_images.digits[static_cast<std::size_t>(digit)];
    image.SetRect(x, kDigitY, kDigitW, kDigitH, kDigitDepth);
    image.Draw();
}

void CGateScene::DrawVolume()
{
    m_images.volumeBackground.Draw();
    m_images.volumeBars[static_cast<std::size_t>(VolumeBarIndex(m_nVolume))].Draw();
    m_images.volumeMinus.Draw();
    m_images.volumePlus.Draw();
    const int number = VolumeNumber(m_nVolume);
    if (number >= 10) {
        DrawDigit(number / 10, kTensX);
        DrawDigit(number % 10, kUnitsX);
    } else {
        DrawDigit(number, kOneDigitX);
    }
}

} // namespace gate
