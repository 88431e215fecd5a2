#include "Source/shell/StartupLists.h"

#include "Source/shell/ShellIds.h"

#include <algorithm>
#include <string>

IX_STATIC_STRING(g_UnitFontFace, u"코르반 AVN_End");

namespace {

constexpr DWORD AA = IXFS_ANTIALIAS;
constexpr DWORD AAB = IXFS_ANTIALIAS | IXFS_BOLD;
constexpr DWORD PLAIN = 0;
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kYellow = RGB(255, 255, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kInk = RGB(19, 21, 24);
constexpr COLORREF kCream = RGB(253, 255, 189);

constexpr COLORREF Grey(int level)
{
    return RGB(level, level, level);
}

// The bitmaps' folders under "\NAND\Wren\Images\" and their names, without
// the ".bmp".
struct PreloadGroup {
    const char16_t* folder;
    const char16_t* const* names;
    int count;
};

const char16_t* const kBasic[] = {
    u"tindi_bg",          u"tindi_sd1",         u"tindi_sd2",         u"tindi_usb",         u"tindi_bluetooth",
    u"tindi_navi",        u"tindi_antena",      u"tindi_dual",        u"mute_nor",          u"mute_touch",
    u"right_btn_basic_1", u"right_btn_basic_2", u"right_btn_basic_3", u"right_btn_basic_4", u"right_btn_basic_5",
};
const char16_t* const kMultiMedia[] = {
    u"top_bar_bg", u"audio_basic_album_bg", u"Photo_list_BG",      u"title_mode_all",
    u"back_all",   u"audio_play list_bg",   u"video_play list_bg",
};
const char16_t* const kPip[] = {
    u"pip_title_fm1",       u"pip_title_fm2",      u"pip_title_fm3",      u"pip_title_am1",
    u"pip_title_am2",       u"pip_title_am3",      u"pip_title_dmb",      u"pip_title_dab",
    u"pip_title_dvd",       u"pip_title_dvdcd",    u"pip_title_dvdvcd",   u"pip_title_dvdmulti",
    u"pip_title_audio",     u"pip_title_video",    u"pip_title_aux",      u"pip_title_ipod",
    u"pip_title_bluetooth", u"pip_ctrl_re_all",    u"pip_ctrl_ff_all",    u"pip_ctrl_play_all",
    u"pip_ctrl_pause_all",  u"pip_bt_ctrl_re_all", u"pip_bt_ctrl_pp_all", u"pip_bt_ctrl_stop_all",
    u"pip_bt_ctrl_ff_all",  u"pip_top_bar",        u"pip_center line",    u"pip_bottom_bar",
    u"pip_video_info_bg",   u"pip_audio_sub_bg",   u"pip_dvd_cd_bg",      u"pip_radio_ctrl_bg",
    u"pip_ch_bg",           u"pip_dab_sub_bg",     u"pip_aux_sub_bg",     u"pip_bt_middle_bg",
    u"pip_bt_ctrl_bg",      u"pip_audio_sub_bg",   u"pip_ipod_in_sub_bg", u"pip_ipod_sub_bg",
    u"pip_audio_album",     u"pip_dvd_videoinfo",  u"pip_dvd_vcdinfo",    u"pip_audio_icon3",
    u"pip_dvd_cdicon",
};
const char16_t* const kDmbDab[] = {u"broad_ch_up_all", u"broad_ch_down_all"};

template <int N> constexpr int Count(const char16_t* const (&)[N])
{
    return N;
}

const PreloadGroup kPreload[] = {
    {u"Basic\\", kBasic, Count(kBasic)},
    {u"Multi media\\", kMultiMedia, Count(kMultiMedia)},
    {u"PIP\\", kPip, Count(kPip)},
    {u"DMB_DAB\\", kDmbDab, Count(kDmbDab)},
};

} // namespace

const CUnitFont g_UnitFonts[kUnitFontCount] = {
    {0, 11, AA, kBlack, FALSE},      {26, 11, AA, kWhite, FALSE},    {27, 11, AA, kYellow, FALSE},
    {28, 12, AA, kWhite, FALSE},     {29, 14, AA, kWhite, FALSE},    {30, 14, AA, kYellow, FALSE},
    {31, 16, AA, kBlack, FALSE},     {32, 16, AA, kWhite, FALSE},    {33, 16, AAB, kWhite, FALSE},
    {36, 18, AA, kWhite, FALSE},     {37, 18, AA, kYellow, FALSE},   {38, 18, AA, kRed, FALSE},
    {39, 18, AA, Grey(208), FALSE},  {40, 18, AA, Grey(216), FALSE}, {46, 19, AA, kYellow, FALSE},
    {47, 19, PLAIN, kYellow, FALSE}, {41, 19, AA, kWhite, FALSE},    {42, 19, AA, kRed, FALSE},
    {43, 19, PLAIN, kWhite, FALSE},  {44, 19, PLAIN, kRed, FALSE},   {45, 19, AA, kBlack, FALSE},
    {48, 20, AA, kWhite, FALSE},     {49, 20, PLAIN, kWhite, FALSE}, {50, 20, AA, kInk, FALSE},
    {51, 22, AA, kInk, FALSE},       {52, 22, AA, kWhite, FALSE},    {53, 22, AA, kRed, FALSE},
    {54, 22, AA, kYellow, FALSE},    {55, 22, PLAIN, kWhite, FALSE}, {56, 22, PLAIN, kRed, FALSE},
    {57, 22, PLAIN, kYellow, FALSE}, {58, 22, AA, Grey(199), FALSE}, {59, 23, AA, kWhite, FALSE},
    {60, 24, AA, kBlack, FALSE},     {61, 24, AA, kWhite, FALSE},    {62, 24, AA, kYellow, FALSE},
    {63, 24, AA, kCream, FALSE},     {65, 24, AA, kRed, FALSE},      {64, 24, AA, Grey(64), FALSE},
    {66, 26, AA, kInk, FALSE},       {86, 26, PLAIN, kWhite, TRUE},  {67, 28, AA, kBlack, FALSE},
    {68, 28, AA, kWhite, FALSE},     {69, 30, AA, kBlack, FALSE},    {70, 30, AA, kWhite, FALSE},
    {71, 30, AA, kRed, FALSE},       {72, 30, AA, kYellow, FALSE},   {73, 30, AA, Grey(216), FALSE},
    {34, 31, AA, kBlack, FALSE},     {35, 31, AA, kWhite, FALSE},    {74, 34, AA, kWhite, FALSE},
    {75, 34, AA, Grey(216), FALSE},  {76, 34, AA, kBlack, FALSE},    {77, 36, AA, kBlack, FALSE},
    {78, 38, AA, kWhite, FALSE},     {79, 40, AA, kBlack, FALSE},    {80, 50, AA, kWhite, FALSE},
    {81, 50, AA, kBlack, FALSE},     {82, 60, AA, kBlack, FALSE},    {83, 74, AA, kBlack, FALSE},
    {84, 80, AA, kBlack, FALSE},     {85, 80, AA, kWhite, FALSE},
};

int g_nFontIndex[kFontSlots] = {};

const int g_StartPages[kStartPageCount] = {
    FID_GATE,
    FID_FM,
    FID_AM,
    FID_MOVIE,
    FID_MUSIC,
    FID_PHOTO,
    FID_IPOD,
    FID_BLUETOOTH,
    FID_DMB,
    FID_DAB,
    FID_DVD,
    10044,
    10041,
    10046,
    10047,
    10045,
    10410,
    FID_AUX,
    10057,
    FID_FRONTCAMERA,
    FID_REARCAMERA,
    10056,
    FID_INTRO,
    FID_NAVISTART,
    FID_COLORKEY,
    FID_SPECTRUMSAVER,
    FID_PICTURESAVER,
};

void FillUnitFonts(IxFontTable& table, int* slots)
{
    for (const CUnitFont& font : g_UnitFonts) {
        const IxFontEntry entry{font.dwStyle, -font.nHeight, &g_UnitFontFace, font.crText, nullptr};
        slots[font.nSlot] = font.bSeparate ? table.Add(entry) : table.AddUnique(entry);
    }
}

BOOL BuildPreloadList(IxStringArray* out)
{
    out->RemoveAll();
    for (const PreloadGroup& group : kPreload) {
        for (int i = 0; i < group.count; ++i) {
            std::u16string path = u"\\NAND\\Wren\\Images\\";
            path.append(group.folder);
            path.append(group.names[i]);
            path.append(u".bmp");
            if (!out->AddText(path.c_str()))
                return FALSE;
        }
    }
    return TRUE;
}
