#include "Source/gate/GateImageTable.h"

#include "Lib_cpp/core/Utility.h"
#include "platform/base/Text.h"

#include <cstdio>

namespace gate {
namespace {

const std::string kGate = "Images\\3Dgate\\";
const std::string kBasic = "Images\\Basic\\";

struct MainButtonRow {
    const char* frames; // below mainButton\, numbered 0000-0019
    const char* rest;   // the button at rest
    const char* label;  // main_text_<label>_nor / _select
    int x;
};
const MainButtonRow kMainButtons[kGateMainButtons] = {
    {"compass", "main_navi_nor.png", "navi", 8},   {"broad", "main_broad_nor.png", "broad", 165},
    {"multi", "main_multi_nor.png", "multi", 321}, {"aux", "main_aux_nor.png", "aux", 478},
    {"setting", "main_set_nor.png", "set", 634},
};
constexpr int kMainButtonY = 342, kMainButtonW = 158, kMainButtonH = 138, kMainButtonDepth = 10;

struct SubButtonRow {
    int group;
    int id;
    const char* normal;
    const char* second;
    int x;
    int flyFromX; // where its show animation starts, relative to its place
};
const SubButtonRow kSubButtons[kGateSubButtons] = {
    {2, 10, "main_sub_FM_nor.png", "main_sub_fm_touch.png", 185, 0},
    {2, 11, "main_sub_am_nor.png", "main_sub_am_touch.png", 294, -109},
    {2, 12, "main_sub_dmb_nor.png", "main_sub_dmb_touch.png", 402, -218},
    {2, 13, "main_sub_dab_nor.png", "main_sub_dab_touuch.png", 511, -327},
    {3, 14, "main_sub_video_nor.png", "main_sub_video_touch.png", 185, 163},
    {3, 15, "main_sub_audio_nor.png", "main_sub_audio_touch.png", 294, 54},
    {3, 16, "main_sub_photo_nor.png", "main_sub_photo_touch.png", 402, -54},
    {3, 17, "main_sub_dvd_nor.png", "main_sub_dvd_touch.png", 511, -163},
    {4, 18, "main_sub_camera_nor.png", "main_sub_camera_touch.png", 185, 327},
    {4, 19, "main_sub_ipod_nor.png", "main_sub_ipod_touch.png", 294, 218},
    {4, 20, "main_sub_aux_nor.png", "main_sub_aux_touch.png", 402, 109},
    {4, 21, "main_sub_BT_nor.png", "main_sub_BT_touch.png", 511, 0},
    {4, 22, "main_sub_add_nor.png", "main_sub_add_touch.png", 566, 0},
    {5, 23, "main_set_button_nor.png", "main_set_button_touch.png", 131, 531},
    {5, 24, "main_set_display_nor.png", "main_set_display_touch.png", 240, 422},
    {5, 25, "main_set_audio_nor.png", "main_set_audio_touch.png", 348, 313},
    {5, 26, "main_set_system_nor.png", "main_set_system_touch.png", 457, 204},
    {5, 27, "main_set_dvd_nor.png", "main_set_dvd_touch.png", 566, 95},
};
constexpr int kSubButtonY = 89, kSubButtonW = 104, kSubButtonH = 112, kSubButtonDepth = 10;
constexpr float kSubButtonFlyY = 100;
constexpr int kSubButtonShowFrames = 14;

constexpr int kVolumeDepth = 5;
constexpr int kPopupDepth = 4;

std::string Numbered(const char* format, int n)
{
    char text[96];
    std::snprintf(text, sizeof text, format, n);
    return text;
}

std::string FramePath(const MainButtonRow& row, int frame)
{
    std::string path = kGate;
    path.append("mainButton\\").append(row.frames).append(Numbered("_%04d.png", frame));
    return path;
}

std::string SubPath(const char* name)
{
    std::string path = kGate;
    path.append("subButton\\").append(name);
    return path;
}

std::string BarPath(int level)
{
    std::string path = kBasic;
    path.append(Numbered("mainvol_box_%02d.bmp", level));
    return path;
}

std::string DigitPath(int digit)
{
    std::string path = kGate;
    path.append(Numbered("BitmapFont\\%d.bmp", digit));
    return path;
}

std::string GatePath(const char* name)
{
    std::string path = kGate;
    path.append(name);
    return path;
}

std::string BasicPath(const char* name)
{
    std::string path = kBasic;
    path.append(name);
    return path;
}

std::string LabelPath(const MainButtonRow& row, const char* state)
{
    std::string path = kGate;
    path.append("main_text_").append(row.label).append("_").append(state).append(".png");
    return path;
}

// The title buttons: normal and touched image, x, y, width, height.
struct TitleButton {
    GateButton GateSceneImages::*button;
    const char* normal;
    const char* touched;
    int x, y, w, h;
};
const TitleButton kTitleButtons[] = {
    {&GateSceneImages::titleAvOn, "main_title_avon_nor.png", "main_title_avon_touch.png", 9, 6, 100, 48},
    {&GateSceneImages::titleAvOff, "main_title_avoff_nor.png", "main_title_avoff_touch.png", 9, 6, 100, 48},
    {&GateSceneImages::titleDisplayOff, "main_title_disoff_nor.png", "main_title_disoff_touch.png", 109, 6, 100, 48},
    {&GateSceneImages::titleDual, "main_title_dual_nor.png", "main_title_dual_touch.png", 209, 6, 100, 48},
    {&GateSceneImages::titleClose, "main_title_close_nor.png", "main_title_close_touch.png", 668, 0, 132, 62},
};

} // namespace

GateImageTable::GateImageTable(GateSceneImages& images, std::function<std::u16string()> backgroundPath,
                               std::function<void()> finished)
    : m_images(images), m_backgroundPath(std::move(backgroundPath)), m_finished(std::move(finished))
{
    BuildEntries();
}

void GateImageTable::BuildEntries()
{
    GateSceneImages& im = m_images;
    // Group by group: the main button's frames, then its sub-buttons in id
    // order, each normal image followed by its second image.
    for (int b = 0; b < kGateMainButtons; ++b) {
        const MainButtonRow& row = kMainButtons[b];
        const int group = b + 1;
        for (int frame = 0; frame < kGateButtonFrames; ++frame) {
            const std::string path = FramePath(row, frame);
            GateImage* element = &im.mainButtons[static_cast<std::size_t>(b)][static_cast<std::size_t>(frame) + 1];
            m_entries.push_back({group, {path}, [element, path, x = row.x] {
                                     element->Load(path, x, kMainButtonY, kMainButtonW, kMainButtonH, kMainButtonDepth);
                                 }});
        }
        for (const SubButtonRow& sub : kSubButtons) {
            if (sub.group != group)
                continue;
            GateAnimButton* element = &im.SubButton(sub.id);
            const std::string normal = SubPath(sub.normal);
            const std::string second = SubPath(sub.second);
            m_entries.push_back({group, {normal}, [element, normal, x = sub.x] {
                                     element->Load(normal, x, kSubButtonY, kSubButtonW, kSubButtonH, kSubButtonDepth);
                                 }});
            m_entries.push_back({group, {second}, [element, second] { element->SetSecondImage(second); }});
        }
    }

    // The volume popup, drawn without blending.
    {
        const std::string path = BasicPath("volume_pop_bg.bmp");
        GateImage* element = &im.volumeBackground;
        m_entries.push_back({6, {path}, [element, path] {
                                 element->SetOpaque();
                                 element->Load(path, 168, 158, 464, 164, kVolumeDepth);
                             }});
    }
    const int barRanges[][2] = {{0, 4}, {5, 9}, {10, 14}, {15, 19}, {20, 25}};
    for (const auto& range : barRanges) {
        Entry entry{6, {}, {}};
        for (int level = range[0]; level <= range[1]; ++level)
            entry.files.push_back(BarPath(level));
        entry.load = [&im, first = range[0], last = range[1]] {
            for (int level = first; level <= last; ++level) {
                GateImage& bar = im.volumeBars[static_cast<std::size_t>(level)];
                bar.SetOpaque();
                bar.Load(BarPath(level), 276, 209, 249, 33, kVolumeDepth);
            }
        };
        m_entries.push_back(std::move(entry));
    }
    m_entries.push_back({6,
                         {BasicPath("volume_-_off.bmp"), BasicPath("volume_-_on.bmp"), BasicPath("volume_+_off.bmp"),
                          BasicPath("volume_+_on.bmp")},
                         [&im] {
                             im.volumeMinus.SetOpaque();
                             im.volumeMinus.Load(BasicPath("volume_-_off.bmp"), 192, 194, 65, 63, kVolumeDepth);
                             im.volumeMinus.SetSecondImage(BasicPath("volume_-_on.bmp"));
                             im.volumeMinus.SetSelected(false);
                             im.volumePlus.SetOpaque();
                             im.volumePlus.Load(BasicPath("volume_+_off.bmp"), 544, 194, 65, 63, kVolumeDepth);
                             im.volumePlus.SetSecondImage(BasicPath("volume_+_on.bmp"));
                             im.volumePlus.SetSelected(false);
                         }});
    {
        Entry entry{6, {}, {}};
        for (int digit = 0; digit < kGateDigits; ++digit)
            entry.files.push_back(DigitPath(digit));
        entry.load = [&im] {
            // Placed when drawn.
            for (int digit = 0; digit < kGateDigits; ++digit) {
                GateImage& image = im.digits[static_cast<std::size_t>(digit)];
                image.SetOpaque();
                image.Load(DigitPath(digit), 0, 0, 15, 22, kVolumeDepth);
            }
        };
        m_entries.push_back(std::move(entry));
    }

    // The popups and their OK button, drawn without blending.
    m_entries.push_back({7,
                         {GatePath("Popup01.png"), GatePath("Popup02.png"), "Images\\Bluetooth\\popup_ok_btn_nor.bmp",
                          "Images\\Bluetooth\\popup_ok_btn_sel.bmp"},
                         [&im] {
                             for (int i = 0; i < 2; ++i) {
                                 GateImage& popup = im.popups[static_cast<std::size_t>(i)];
                                 popup.SetOpaque();
                                 popup.Load(GatePath(i == 0 ? "Popup01.png" : "Popup02.png"), 138, 83, 524, 314,
                                            kPopupDepth);
                             }
                             im.popupOk.SetOpaque();
                             im.popupOk.Load("Images\\Bluetooth\\popup_ok_btn_nor.bmp", 278, 338, 245, 52, kPopupDepth);
                             im.popupOk.SetSecondImage("Images\\Bluetooth\\popup_ok_btn_sel.bmp");
                             im.popupOk.SetSelected(false);
                         }});
}

std::vector<std::string> GateImageTable::AlwaysShownFiles()
{
    std::vector<std::string> files{GatePath("main_title_BG.png")};
    for (const MainButtonRow& row : kMainButtons)
        files.push_back(GatePath(row.rest));
    files.push_back(GatePath("effect\\aura.png"));
    files.push_back(GatePath("effect\\shadow.png"));
    for (const MainButtonRow& row : kMainButtons) {
        files.push_back(LabelPath(row, "nor"));
        files.push_back(LabelPath(row, "select"));
    }
    for (const TitleButton& title : kTitleButtons) {
        files.push_back(GatePath(title.normal));
        files.push_back(GatePath(title.touched));
    }
    return files;
}

std::string GateImageTable::BackgroundPath() const
{
    std::u16string path = m_backgroundPath ? m_backgroundPath() : std::u16string();
    if (path.empty() || !IxFileExists(reinterpret_cast<LPCWSTR>(path.c_str())))
        return kDefaultBackground;
    return platform::ToUtf8(path);
}

void GateImageTable::BuildAnimations()
{
    for (const SubButtonRow& sub : kSubButtons)
        m_images.SubButton(sub.id).SetAnimations(std::make_unique<AniObject>(static_cast<float>(sub.flyFromX),
                                                                             kSubButtonFlyY, 0.0f, 0.0f, 0.0f, 0.0f,
                                                                             kSubButtonShowFrames),
                                                 nullptr);
}

void GateImageTable::LoadAlwaysShown()
{
    GateSceneImages& im = m_images;
    im.title.SetBlend(true, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    im.title.Load(GatePath("main_title_BG.png"), 0, 0, 668, 62, 300);
    for (int b = 0; b < kGateMainButtons; ++b)
        im.mainButtons[static_cast<std::size_t>(b)][0].Load(GatePath(kMainButtons[b].rest), kMainButtons[b].x,
                                                            kMainButtonY, kMainButtonW, kMainButtonH, kMainButtonDepth);
    im.aura.SetBlend(true, GL_SRC_ALPHA, GL_ONE);
    im.aura.Load(GatePath("effect\\aura.png"), -45, -45, 90, 90, 20);
    im.shadow.Load(GatePath("effect\\shadow.png"), 43, 450, 95, 30, 30);
    for (int b = 0; b < kGateMainButtons; ++b) {
        GateButton& label = im.labels[static_cast<std::size_t>(b)];
        label.Load(LabelPath(kMainButtons[b], "nor"), kMainButtons[b].x, 286, 158, 56, 10);
        label.SetSecondImage(LabelPath(kMainButtons[b], "select"));
    }
    for (const TitleButton& title : kTitleButtons) {
        GateButton& button = im.*(title.button);
        button.Load(GatePath(title.normal), title.x, title.y, title.w, title.h, 10);
        button.SetSecondImage(GatePath(title.touched));
    }
}

void GateImageTable::Prepare()
{
    const std::string background = BackgroundPath();
    BuildAnimations();
    m_images.background.SetOpaque();
    m_images.background.Load(background, 0, 0, 800, 480, 500, TRUE);
    LoadAlwaysShown();
}

void GateImageTable::Register(GateLoaderThread& loader)
{
    for (const Entry& entry : m_entries)
        loader.AddLoader(entry.group, entry.load);
}

void GateImageTable::Finished()
{
    if (m_finished)
        m_finished();
}

} // namespace gate
