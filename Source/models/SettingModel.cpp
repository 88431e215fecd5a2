#include "Source/models/SettingModel.h"

#include "Lib_cpp/core/String.h"
#include "Source/models/ModelCenter.h"
#include "Source/models/ModelCodes.h"
#include "platform/base/Text.h"

#include <cstring>
#include <new>

namespace {

// The defaults of the fields that are not zero.
struct DefaultWord {
    DWORD offset;
    int value;
};

constexpr DefaultWord kDefaultWords[] = {
    {SETTING_OPTION0, 1},     {SETTING_BUTTONGAIN, 3},  {SETTING_CONTRAST0, 10}, {SETTING_CONTRAST1, 10},
    {SETTING_SAVERDELAY, 10}, {SETTING_LEVEL1, 15},     {SETTING_LEVEL0, 15},    {SETTING_INTROMICOM, 1},
    {SETTING_GUIDANCE, 1},    {SETTING_NAVIEXECUTE, 1},
};

constexpr int kDefaultSrs[kSettingSrsValues] = {16, 10, 12, 4, 9, 4};
constexpr int kFlatBand = 10;
constexpr BYTE kDefaultMicomByte = 4;

} // namespace

int SettingWord(const BYTE* payload, DWORD offset)
{
    const DWORD value = static_cast<DWORD>(payload[offset]) | static_cast<DWORD>(payload[offset + 1]) << 8
        | static_cast<DWORD>(payload[offset + 2]) << 16 | static_cast<DWORD>(payload[offset + 3]) << 24;
    return static_cast<int>(value);
}

void PutSettingWord(BYTE* payload, DWORD offset, int value)
{
    const auto v = static_cast<DWORD>(value);
    for (DWORD i = 0; i < 4; ++i)
        payload[offset + i] = static_cast<BYTE>(v >> (8 * i));
}

void DefaultSettingStatus(BYTE* payload)
{
    std::memset(payload, 0, kSettingPayloadSize);
    const WCHAR* path = kDefaultGateBackground;
    for (DWORD i = 0; path[i]; ++i) {
        payload[SETTING_GATEBG + 2 * i] = static_cast<BYTE>(path[i] & 0xFF);
        payload[SETTING_GATEBG + 2 * i + 1] = static_cast<BYTE>(path[i] >> 8);
    }
    for (int set = 0; set < kSettingUserEqSets; ++set)
        for (int band = 0; band < kSettingEqBands; ++band)
            PutSettingWord(payload, SETTING_USEREQ + static_cast<DWORD>(set * 28 + band * 4), kFlatBand);
    for (int i = 0; i < kSettingSrsValues; ++i)
        PutSettingWord(payload, SETTING_SRS + static_cast<DWORD>(4 * i), kDefaultSrs[i]);
    payload[SETTING_MICOMBYTE] = kDefaultMicomByte;
    for (const DefaultWord& row : kDefaultWords)
        PutSettingWord(payload, row.offset, row.value);
}

// ---------------------------------------------------------------------------
// The model

void CSettingModel::CRecord::DefaultPayload(BYTE* payload, DWORD size)
{
    if (size == kSettingPayloadSize)
        DefaultSettingStatus(payload);
}

CSettingModel::CSettingModel() : IxModel(MODELID_SETTING)
{
    IxString path;
    if (path.Assign(kRecordFolder) && path.Append(kSettingRecordName, lstrlenW(kSettingRecordName)))
        m_record.Load(path.Text(), kRecordHeaderA, kRecordHeaderB);
}

CSettingModel::~CSettingModel() = default;

void CSettingModel::ResetToDefaults()
{
    m_record.SetDefaults(kRecordHeaderA, kRecordHeaderB);
}

// ---------------------------------------------------------------------------
// Access

CSettingModel* FindSettingModel()
{
    IxModelCenter* center = IxModelCenter::GetInstance();
    return center ? dynamic_cast<CSettingModel*>(center->FindModel(MODELID_SETTING)) : nullptr;
}

CSettingModel* GetSettingModel()
{
    if (CSettingModel* model = FindSettingModel())
        return model;
    if (!IxModelCenter::GetInstance())
        return nullptr;
    // The center's list holds the model from here on; the creator's own
    // reference is dropped.
    auto* model = new (std::nothrow) CSettingModel;
    if (!model) {
        IxRecordNoMemory();
        return nullptr;
    }
    const BOOL listed = model->GetRefCount() > 1;
    model->Release();
    if (!listed)
        return nullptr;
    return model;
}

BYTE* GetSettingStatus()
{
    CSettingModel* model = FindSettingModel();
    return model ? model->GetStatus() : nullptr;
}

int SettingGetContrastValue(int which)
{
    const BYTE* status = GetSettingStatus();
    return status ? SettingWord(status, which ? SETTING_CONTRAST1 : SETTING_CONTRAST0) : 0;
}

int SettingGetLevel(int which)
{
    const BYTE* status = GetSettingStatus();
    return status ? SettingWord(status, which ? SETTING_LEVEL1 : SETTING_LEVEL0) : 0;
}
