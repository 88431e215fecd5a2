// The layout of the 3D menu as data: every image element of the menu, and
// the table of 145 loader entries (group, files, rectangle, depth, second
// image, blending) that the resource loader runs group by group, after the
// background and the images that are always shown.
#pragma once

#include "Source/gate/GateImage.h"
#include "Source/gate/GateLoaderThread.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace gate {

// The main buttons, left to right, and their sub-button rows.
enum class GateMainButton : int { Navigation = 0, Broadcasting, Multimedia, Aux, Settings };
inline constexpr int kGateMainButtons = 5;
inline constexpr int kGateButtonFrames = 20; // the flip animation; element 0 is the button at rest
// Sub-buttons by id: 10-13 FM, AM, DMB, DAB; 14-17 video, audio, photo, DVD;
// 18-22 camera, iPod, AUX, Bluetooth, add; 23-27 button light, display,
// audio, system and DVD settings.
inline constexpr int kGateFirstSubButton = 10;
inline constexpr int kGateSubButtons = 18;
inline constexpr int kGateVolumeBars = 26;
inline constexpr int kGateDigits = 10;

// The menu's elements, loaded once by the loader.
struct GateSceneImages {
    GateBackground background;
    GateImage title;
    std::array<std::array<GateImage, kGateButtonFrames + 1>, kGateMainButtons> mainButtons;
    GateImage aura;
    GateImage shadow;
    std::array<GateButton, kGateMainButtons> labels;
    GateButton titleAvOn, titleAvOff, titleDisplayOff, titleDual, titleClose;
    std::array<GateAnimButton, kGateSubButtons> subButtons; // id - kGateFirstSubButton
    GateImage volumeBackground;
    std::array<GateImage, kGateVolumeBars> volumeBars;
    GateButton volumeMinus, volumePlus;
    std::array<GateImage, kGateDigits> digits;
    std::array<GateImage, 2> popups;
    GateButton popupOk;

    GateAnimButton& SubButton(int id) { return subButtons[static_cast<std::size_t>(id - kGateFirstSubButton)]; }
};

class GateImageTable : public IxGateLoadPlan {
public:
    static constexpr const char* kDefaultBackground = "\\NAND\\Wren\\Images\\3Dgate\\type07.bmp";

    struct Entry {
        int group;
        std::vector<std::string> files; // below "\NAND\Wren\", in load order
        std::function<void()> load;
    };

    // backgroundPath answers the user's background picture (a unit path;
    // empty for none); finished is told when every group is in.
    GateImageTable(GateSceneImages& images, std::function<std::u16string()> backgroundPath = {},
                   std::function<void()> finished = {});

    // The loader entries, group by group as the table lists them.
    const std::vector<Entry>& Entries() const { return m_entries; }
    // The files of the images always shown, below "\NAND\Wren\".
    static std::vector<std::string> AlwaysShownFiles();
    // The background the loader takes: the user's picture when it exists,
    // else the default.
    std::string BackgroundPath() const;

    void Prepare() override;
    void Register(GateLoaderThread& loader) override;
    void Finished() override;

private:
    void BuildEntries();
    void BuildAnimations();
    void LoadAlwaysShown();

    GateSceneImages& m_images;
    std::function<std::u16string()> m_backgroundPath;
    std::function<void()> m_finished;
    std::vector<Entry> m_entries;
};

} // namespace gate
