// Fonts and text through FreeType.
//
// Three levels of caching keep a font that is created, drawn with and
// released on every paint cheap:
// - FaceFile: one FT_Face per font file (and face index), opened the first
//   time the file is added or used as the fallback and kept for the life of
//   the process;
// - face resolution: face name + bold + italic -> FaceFile and the styles
//   FreeType has to synthesise, remembered until a font is added or removed;
// - Strike: one face at one pixel size and style with its metrics and the
//   coverage masks of the glyphs drawn so far, kept in a small LRU and
//   shared by every font object that asks for the same thing.
// All FreeType work and every cache is guarded by one mutex. Destroying a
// font object or a strike never calls FreeType, so it needs no lock.
#include "platform/gfx/Font.h"

#include "platform/base/Error.h"
#include "platform/base/Text.h"
#include "platform/gfx/FontInternal.h"
#include "platform/gfx/Screen.h"
#include "platform/io/File.h"
#include "platform/unit/Unit.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SFNT_NAMES_H
#include FT_TRUETYPE_IDS_H
#include FT_TRUETYPE_TABLES_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <list>
#include <map>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace platform {

namespace {

constexpr const char* kSystemFontFile = "/usr/share/fonts/truetype/nanum/NanumGothic.ttf";
constexpr WCHAR kUnitFontPath[] = u"\\NAND\\Wren\\Corvan_AVN.ttf";
constexpr int kMaxEm = 1024;           // larger requests are drawn at this size
constexpr int kDefaultCellHeight = 16; // lfHeight 0
constexpr std::size_t kMaxStrikes = 24;
constexpr std::size_t kMaxGlyphsPerStrike = 4096;
constexpr std::size_t kMaxGlyphBytesPerStrike = 2 << 20; // coverage masks

// One face of one font file.
struct FaceFile {
    std::string hostPath;
    FT_Face face = nullptr;
    bool bold = false;   // the face itself is bold
    bool italic = false; // the face itself is italic
    std::vector<std::u16string> families;
    int activeEm = 0; // pixel size currently set on the face
    // Design metrics in font units.
    int unitsPerEm = 1000;
    int winAscent = 0;
    int winDescent = 0;
    int lineGap = 0;
    int avgCharWidth = 0;
    WCHAR firstChar = 0x20;
    WCHAR lastChar = 0xFFFF;
    WCHAR defaultChar = 0;
    WCHAR breakChar = 0x20;
    bool fixedPitch = false;
    bool hangul = false;
};

struct Glyph {
    int advance = 0;
    int left = 0; // from the pen position to the first column
    int top = 0;  // from the baseline up to the first row
    int width = 0;
    int height = 0;
    bool missing = false;
    std::vector<BYTE> coverage; // width * height, 0..255
};

struct StrikeKey {
    FaceFile* face;
    int em;
    bool embolden;
    bool oblique;
    bool mono;
    bool operator==(const StrikeKey&) const = default;
};

struct StrikeKeyHash {
    std::size_t operator()(const StrikeKey& k) const
    {
        return std::hash<const void*>()(k.face) ^ (static_cast<std::size_t>(k.em) << 3) ^ (k.embolden ? 1u : 0u)
            ^ (k.oblique ? 2u : 0u) ^ (k.mono ? 4u : 0u);
    }
};

} // namespace

// A face at one pixel size and style with its glyph cache.
struct Strike {
    StrikeKey key{};
    int ascent = 0;
    int descent = 0;
    int externalLeading = 0;
    int aveCharWidth = 0;
    int maxCharWidth = 0;
    int underlinePos = 1; // below the baseline
    int strikeoutPos = 1; // above the baseline
    int lineThickness = 1;
    std::unordered_map<char32_t, Glyph> glyphs;
    std::size_t glyphBytes = 0;
};

namespace {

int Scale(long units, int em, int unitsPerEm)
{
    return static_cast<int>((units * em + unitsPerEm / 2) / unitsPerEm);
}

// Family names of a face: FreeType's own and every family name in the SFNT
// name table that is stored as UTF-16 (the localised ones included).
std::vector<std::u16string> FamilyNames(FT_Face face)
{
    std::vector<std::u16string> names;
    auto add = [&](std::u16string name) {
        if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(std::move(name));
    };
    if (face->family_name)
        add(FromUtf8(face->family_name));
    const FT_UInt count = FT_Get_Sfnt_Name_Count(face);
    for (FT_UInt i = 0; i < count; ++i) {
        FT_SfntName name;
        if (FT_Get_Sfnt_Name(face, i, &name) != 0)
            continue;
        if (name.name_id != TT_NAME_ID_FONT_FAMILY && name.name_id != TT_NAME_ID_TYPOGRAPHIC_FAMILY)
            continue;
        const bool utf16 = name.platform_id == TT_PLATFORM_APPLE_UNICODE
            || (name.platform_id == TT_PLATFORM_MICROSOFT
                && (name.encoding_id == TT_MS_ID_UNICODE_CS || name.encoding_id == TT_MS_ID_UCS_4
                    || name.encoding_id == TT_MS_ID_SYMBOL_CS));
        if (!utf16)
            continue;
        std::u16string text;
        for (FT_UInt b = 0; b + 1 < name.string_len; b += 2)
            text.push_back(static_cast<WCHAR>((name.string[b] << 8) | name.string[b + 1]));
        add(std::move(text));
    }
    return names;
}

class Engine {
public:
    static Engine& Get()
    {
        static Engine* engine = new Engine; // lives to the end of the process
        return *engine;
    }

    std::mutex mutex;

    // Opens (once) face `index` of a host file.
    FaceFile* OpenFace(const std::string& hostPath, int index)
    {
        auto key = std::make_pair(hostPath, index);
        auto it = m_faces.find(key);
        if (it != m_faces.end())
            return it->second.get();
        if (!m_library)
            return nullptr;
        FT_Face face = nullptr;
        if (FT_New_Face(m_library, hostPath.c_str(), index, &face) != 0)
            return nullptr;
        if (!FT_IS_SCALABLE(face) || face->num_glyphs <= 0) {
            FT_Done_Face(face);
            return nullptr;
        }
        FT_Select_Charmap(face, FT_ENCODING_UNICODE);
        auto file = std::make_unique<FaceFile>();
        file->hostPath = hostPath;
        file->face = face;
        file->bold = (face->style_flags & FT_STYLE_FLAG_BOLD) != 0;
        file->italic = (face->style_flags & FT_STYLE_FLAG_ITALIC) != 0;
        file->families = FamilyNames(face);
        file->unitsPerEm = face->units_per_EM ? face->units_per_EM : 1000;
        file->winAscent = face->ascender;
        file->winDescent = -face->descender;
        file->lineGap = std::max(0, face->height - (face->ascender - face->descender));
        file->fixedPitch = FT_IS_FIXED_WIDTH(face);
        file->hangul = FT_Get_Char_Index(face, 0xAC00) != 0;
        if (const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
            os2 && os2->version != 0xFFFF) {
            if (os2->usWinAscent + os2->usWinDescent > 0) {
                file->winAscent = os2->usWinAscent;
                file->winDescent = os2->usWinDescent;
            }
            file->avgCharWidth = os2->xAvgCharWidth;
            file->firstChar = os2->usFirstCharIndex;
            file->lastChar = os2->usLastCharIndex;
            if (os2->version >= 2) {
                file->defaultChar = os2->usDefaultChar;
                file->breakChar = os2->usBreakChar;
            }
            if (const auto* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA)))
                file->lineGap = std::max(
                    0, hhea->Line_Gap - ((os2->usWinAscent + os2->usWinDescent) - (hhea->Ascender - hhea->Descender)));
        }
        if (file->avgCharWidth <= 0)
            file->avgCharWidth = file->unitsPerEm / 2;
        FaceFile* raw = file.get();
        m_faces.emplace(std::move(key), std::move(file));
        return raw;
    }

    // Registered files: host path -> {add count, faces}.
    struct Registration {
        int count = 0;
        std::vector<FaceFile*> faces;
    };
    std::map<std::string, Registration> registered;

    void RebuildFamilies()
    {
        m_families.clear();
        for (const auto& [path, reg] : registered)
            for (FaceFile* face : reg.faces)
                for (const std::u16string& family : face->families)
                    m_families[FoldText(family)].push_back(face);
        m_resolved.clear();
    }

    // The face for a face name and style, with what FreeType must synthesise.
    struct Resolution {
        FaceFile* face = nullptr;
        bool embolden = false;
        bool oblique = false;
    };

    Resolution Resolve(std::u16string_view faceName, bool bold, bool italic)
    {
        const std::string root = UnitRoot();
        if (root != m_resolvedRoot) {
            m_resolved.clear();
            m_resolvedRoot = root;
        }
        std::u16string key = FoldText(faceName);
        key.push_back(bold ? u'B' : u'-');
        key.push_back(italic ? u'I' : u'-');
        auto it = m_resolved.find(key);
        if (it != m_resolved.end())
            return it->second;

        Resolution result;
        const std::vector<FaceFile*>* candidates = FindFamily(FoldText(faceName));
        if (!candidates) {
            // The fallback file, through its family when that is added (so
            // that the family's bold face is used).
            FaceFile* fallback = Fallback();
            if (!fallback)
                return result;
            if (!fallback->families.empty())
                candidates = FindFamily(FoldText(fallback->families[0]));
            result.face = fallback;
        }
        if (candidates) {
            // Best style match: bold counts more than italic.
            int best = -1;
            for (FaceFile* face : *candidates) {
                const int score = (face->bold == bold ? 2 : 0) + (face->italic == italic ? 1 : 0);
                if (score > best)
                    best = score, result.face = face;
            }
        }
        if (result.face) {
            result.embolden = bold && !result.face->bold;
            result.oblique = italic && !result.face->italic;
        }
        if (result.face)
            m_resolved.emplace(std::move(key), result);
        return result;
    }

    // The strike for a key, from the LRU or made now.
    std::shared_ptr<Strike> StrikeFor(const StrikeKey& key)
    {
        auto it = m_strikeIndex.find(key);
        if (it != m_strikeIndex.end()) {
            m_strikes.splice(m_strikes.begin(), m_strikes, it->second);
            return *it->second;
        }
        auto strike = std::make_shared<Strike>();
        strike->key = key;
        const FaceFile& f = *key.face;
        strike->ascent = Scale(f.winAscent, key.em, f.unitsPerEm);
        strike->descent = Scale(f.winDescent, key.em, f.unitsPerEm);
        strike->externalLeading = Scale(f.lineGap, key.em, f.unitsPerEm);
        const int boldExtra = key.embolden ? std::max(1, key.em / 24) : 0;
        strike->aveCharWidth = Scale(f.avgCharWidth, key.em, f.unitsPerEm) + boldExtra;
        strike->maxCharWidth = Scale(f.face->max_advance_width, key.em, f.unitsPerEm) + boldExtra;
        strike->lineThickness = std::max(1, Scale(f.face->underline_thickness, key.em, f.unitsPerEm));
        strike->underlinePos = std::max(1, Scale(-f.face->underline_position, key.em, f.unitsPerEm));
        strike->strikeoutPos = std::max(1, key.em * 3 / 10);
        m_strikes.push_front(strike);
        m_strikeIndex[key] = m_strikes.begin();
        while (m_strikes.size() > kMaxStrikes) {
            m_strikeIndex.erase(m_strikes.back()->key);
            m_strikes.pop_back(); // font objects still holding it keep it alive
        }
        return strike;
    }

    const Glyph& GlyphFor(Strike& strike, char32_t cp)
    {
        auto it = strike.glyphs.find(cp);
        if (it != strike.glyphs.end())
            return it->second;
        Glyph& glyph = strike.glyphs.emplace(cp, Render(strike, cp)).first->second;
        strike.glyphBytes += glyph.coverage.size();
        return glyph;
    }

    void ForgetResolutions() { m_resolved.clear(); }

    bool IsMissing(const Strike& strike, char32_t cp) { return FT_Get_Char_Index(strike.key.face->face, cp) == 0; }

private:
    Engine()
    {
        if (FT_Init_FreeType(&m_library) != 0)
            m_library = nullptr;
    }

    const std::vector<FaceFile*>* FindFamily(const std::u16string& folded) const
    {
        auto it = m_families.find(folded);
        return it == m_families.end() || it->second.empty() ? nullptr : &it->second;
    }

    // The unit's font file when present under the root, else the system's.
    FaceFile* Fallback()
    {
        DWORD error = 0;
        std::string path = HostPath(kUnitFontPath, true, &error);
        if (!path.empty())
            if (FaceFile* face = OpenFace(path, 0))
                return face;
        return OpenFace(kSystemFontFile, 0);
    }

    Glyph Render(Strike& strike, char32_t cp)
    {
        FaceFile& f = *strike.key.face;
        FT_Face face = f.face;
        Glyph glyph;
        if (f.activeEm != strike.key.em) {
            FT_Set_Pixel_Sizes(face, 0, strike.key.em);
            f.activeEm = strike.key.em;
        }
        FT_UInt index = FT_Get_Char_Index(face, cp);
        glyph.missing = index == 0;
        const FT_Int32 flags = FT_LOAD_NO_BITMAP | (strike.key.mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL);
        bool loaded = FT_Load_Glyph(face, index, flags) == 0;
        if (!loaded && index != 0) {
            glyph.missing = true;
            index = 0;
            loaded = FT_Load_Glyph(face, 0, flags) == 0;
        }
        FT_GlyphSlot slot = face->glyph;
        if (loaded && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
            if (strike.key.oblique)
                FT_GlyphSlot_Oblique(slot);
            if (strike.key.embolden)
                FT_GlyphSlot_Embolden(slot);
        }
        if (loaded && FT_Render_Glyph(slot, strike.key.mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) == 0) {
            const FT_Bitmap& bm = slot->bitmap;
            glyph.advance = static_cast<int>((slot->advance.x + 32) >> 6);
            glyph.left = slot->bitmap_left;
            glyph.top = slot->bitmap_top;
            glyph.width = static_cast<int>(bm.width);
            glyph.height = static_cast<int>(bm.rows);
            glyph.coverage.resize(static_cast<std::size_t>(glyph.width) * glyph.height);
            for (int y = 0; y < glyph.height; ++y) {
                const unsigned char* src = bm.buffer + static_cast<std::ptrdiff_t>(y) * bm.pitch;
                BYTE* dst = glyph.coverage.data() + static_cast<std::size_t>(y) * glyph.width;
                for (int x = 0; x < glyph.width; ++x) {
                    if (bm.pixel_mode == FT_PIXEL_MODE_MONO)
                        dst[x] = (src[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
                    else
                        dst[x] = src[x];
                }
            }
        } else {
            glyph.advance = std::max(1, strike.key.em / 2);
        }
        // A missing glyph whose .notdef is blank still shows a box.
        if (glyph.missing && glyph.width == 0)
            DrawBox(strike, glyph);
        return glyph;
    }

    static void DrawBox(const Strike& strike, Glyph& glyph)
    {
        const int em = strike.key.em;
        glyph.advance = std::max(glyph.advance, std::max(3, em / 2));
        glyph.left = std::max(1, em / 16);
        glyph.width = std::max(2, glyph.advance - 2 * glyph.left);
        glyph.height = std::max(3, em * 7 / 10);
        glyph.top = glyph.height;
        glyph.coverage.assign(static_cast<std::size_t>(glyph.width) * glyph.height, 0);
        const int t = std::max(1, em / 16);
        for (int y = 0; y < glyph.height; ++y)
            for (int x = 0; x < glyph.width; ++x)
                if (x < t || y < t || x >= glyph.width - t || y >= glyph.height - t)
                    glyph.coverage[static_cast<std::size_t>(y) * glyph.width + x] = 255;
    }

    FT_Library m_library = nullptr;
    std::map<std::pair<std::string, int>, std::unique_ptr<FaceFile>> m_faces;
    std::unordered_map<std::u16string, std::vector<FaceFile*>> m_families;
    std::unordered_map<std::u16string, Resolution> m_resolved;
    std::string m_resolvedRoot;
    std::list<std::shared_ptr<Strike>> m_strikes; // most recently used first
    std::unordered_map<StrikeKey, std::list<std::shared_ptr<Strike>>::iterator, StrikeKeyHash> m_strikeIndex;
};

// The em size in pixels for a LOGFONTW height.
int EmFor(const FaceFile& f, LONG height)
{
    long long em;
    if (height < 0) {
        em = -static_cast<long long>(height);
    } else {
        const long long cell = height == 0 ? kDefaultCellHeight : height;
        const long long design = std::max(1, f.winAscent + f.winDescent);
        em = (cell * f.unitsPerEm + design / 2) / design;
    }
    return static_cast<int>(std::clamp<long long>(em, 1, kMaxEm));
}

// The next character of UTF-16 text; an unpaired surrogate is returned as
// itself (no font has a glyph for it).
char32_t NextChar(const WCHAR* text, int count, int& i)
{
    const char32_t c = text[i++];
    if (c >= 0xD800 && c < 0xDC00 && i < count && text[i] >= 0xDC00 && text[i] < 0xE000)
        return 0x10000 + ((c - 0xD800) << 10) + (text[i++] - 0xDC00);
    return c;
}

// Text laid out on one line: glyphs with their pen positions, and the
// extent after each UTF-16 unit (both units of a pair end at the pair's
// extent, so a fit never splits one).
struct Run {
    std::vector<std::pair<const Glyph*, int>> glyphs;
    std::vector<int> extents;
    int width = 0;
};

// Under the engine lock; the glyph pointers stay valid while it is held.
Run& Layout(Strike& strike, const WCHAR* text, int count, const int* dx)
{
    thread_local Run run;
    Engine& engine = Engine::Get();
    run.glyphs.clear();
    run.extents.clear();
    // The glyph cache is bounded; it is emptied between layouts only, so
    // that the glyphs of one run stay put.
    if (strike.glyphs.size() + static_cast<std::size_t>(count) > kMaxGlyphsPerStrike
        || strike.glyphBytes > kMaxGlyphBytesPerStrike) {
        strike.glyphs.clear();
        strike.glyphBytes = 0;
    }
    int x = 0;
    for (int i = 0; i < count;) {
        const int start = i;
        const Glyph& glyph = engine.GlyphFor(strike, NextChar(text, count, i));
        run.glyphs.emplace_back(&glyph, x);
        if (dx) {
            for (int k = start; k < i; ++k)
                x += dx[k];
        } else {
            x += glyph.advance;
        }
        run.extents.insert(run.extents.end(), i - start, x);
    }
    run.width = x;
    return run;
}

// Mixes color over the surface through a coverage mask placed with its
// top-left at (gx, gy), inside clip (surface coordinates).
void BlendMask(Surface& s, const BYTE* mask, int width, int height, int gx, int gy, const RECT& clip, COLORREF color)
{
    const RECT r = Intersect(clip, RECT{gx, gy, gx + width, gy + height});
    if (IsEmpty(r))
        return;
    const int cr = GetRValue(color), cg = GetGValue(color), cb = GetBValue(color);
    const WORD c565 = ToRgb565(color);
    auto mix = [](int d, int c, int a) { return static_cast<BYTE>(d + ((c - d) * a + (c > d ? 127 : -127)) / 255); };
    const int bpp = s.BytesPerPixel();
    for (int y = r.top; y < r.bottom; ++y) {
        const BYTE* m = mask + static_cast<std::ptrdiff_t>(y - gy) * width + (r.left - gx);
        BYTE* row = s.Row(y);
        for (int x = r.left; x < r.right; ++x, ++m) {
            const int a = *m;
            if (a == 0)
                continue;
            if (bpp == 2) {
                WORD* p = reinterpret_cast<WORD*>(row) + x;
                if (a == 255) {
                    *p = c565;
                } else {
                    const COLORREF d = FromRgb565(*p);
                    *p = ToRgb565(RGB(mix(GetRValue(d), cr, a), mix(GetGValue(d), cg, a), mix(GetBValue(d), cb, a)));
                }
            } else {
                BYTE* p = row + static_cast<std::ptrdiff_t>(x) * bpp;
                p[0] = a == 255 ? static_cast<BYTE>(cb) : mix(p[0], cb, a);
                p[1] = a == 255 ? static_cast<BYTE>(cg) : mix(p[1], cg, a);
                p[2] = a == 255 ? static_cast<BYTE>(cr) : mix(p[2], cr, a);
            }
        }
    }
}

// The font selected into a DC; a DC without one draws with the default
// font (the fallback face, 16-pixel cell).
std::shared_ptr<FontObject> FontOf(const DcState& dc)
{
    if (auto font = LookupGdiObject<FontObject>(dc.font))
        return font;
    static std::mutex mutex;
    static std::shared_ptr<FontObject> fallback;
    std::lock_guard lock(mutex);
    if (!fallback) {
        LOGFONTW lf{};
        lf.lfWeight = FW_NORMAL;
        lf.lfCharSet = DEFAULT_CHARSET;
        Engine& engine = Engine::Get();
        std::lock_guard engineLock(engine.mutex);
        const auto res = engine.Resolve(u"", false, false);
        if (!res.face)
            return nullptr;
        fallback
            = std::make_shared<FontObject>(lf, engine.StrikeFor({res.face, EmFor(*res.face, 0), false, false, false}));
    }
    return fallback;
}

// Holds the screen's lock while a DC draws onto the screen.
std::unique_lock<std::recursive_mutex> LockTarget(const DcState& dc)
{
    if (dc.surface && reinterpret_cast<void*>(dc.surface->bits) == Screen::Get().Pixels())
        return Screen::Get().Lock();
    return {};
}

// Draws one line at logical (x, y) with the given alignment. Under the
// engine lock.
void DrawRun(DcState& dc, const FontObject& font, int x, int y, UINT align, UINT options, const RECT* rect,
             const WCHAR* text, int count, const int* dx)
{
    Surface& surface = *dc.surface;
    const Strike& strike = *font.strike;
    const Run& run = Layout(*font.strike, text, count, dx);

    int left = x;
    if ((align & TA_CENTER) == TA_CENTER)
        left = x - run.width / 2;
    else if ((align & TA_CENTER) == TA_RIGHT)
        left = x - run.width;
    int baseline = y + strike.ascent;
    if ((align & TA_BASELINE) == TA_BASELINE)
        baseline = y;
    else if ((align & TA_BASELINE) == TA_BOTTOM)
        baseline = y - strike.descent;
    const POINT d = ToDevice(dc, left, baseline);

    RECT textClip{INT32_MIN / 2, INT32_MIN / 2, INT32_MAX / 2, INT32_MAX / 2};
    RECT deviceRect{};
    if (rect) {
        const POINT a = ToDevice(dc, rect->left, rect->top);
        const POINT b = ToDevice(dc, rect->right, rect->bottom);
        deviceRect = RECT{a.x, a.y, b.x, b.y};
        if (options & ETO_CLIPPED)
            textClip = deviceRect;
    }
    auto fill = [&](RECT deviceArea, COLORREF color) {
        ForEachClipRect(dc, Intersect(deviceArea, textClip),
                        [&](const RECT& r) { FillSurfaceRect(surface, r, color); });
    };
    if ((options & ETO_OPAQUE) && rect)
        ForEachClipRect(dc, deviceRect, [&](const RECT& r) { FillSurfaceRect(surface, r, dc.bkColor); });
    if (dc.bkMode == OPAQUE)
        fill(RECT{d.x, d.y - strike.ascent, d.x + run.width, d.y + strike.descent}, dc.bkColor);

    // Everything the glyphs touch, then each clip rectangle once.
    RECT box{0, 0, 0, 0};
    for (const auto& [glyph, pen] : run.glyphs) {
        if (glyph->width == 0)
            continue;
        const RECT g{d.x + pen + glyph->left, d.y - glyph->top, d.x + pen + glyph->left + glyph->width,
                     d.y - glyph->top + glyph->height};
        box = IsEmpty(box) ? g
                           : RECT{std::min(box.left, g.left), std::min(box.top, g.top), std::max(box.right, g.right),
                                  std::max(box.bottom, g.bottom)};
    }
    const int ox = dc.deviceOrigin.x, oy = dc.deviceOrigin.y;
    if (!IsEmpty(box)) {
        ForEachClipRect(dc, Intersect(box, textClip), [&](const RECT& r) {
            for (const auto& [glyph, pen] : run.glyphs)
                BlendMask(surface, glyph->coverage.data(), glyph->width, glyph->height, ox + d.x + pen + glyph->left,
                          oy + d.y - glyph->top, r, dc.textColor);
        });
    }
    if (font.logFont.lfUnderline)
        fill(RECT{d.x, d.y + strike.underlinePos, d.x + run.width, d.y + strike.underlinePos + strike.lineThickness},
             dc.textColor);
    if (font.logFont.lfStrikeOut)
        fill(RECT{d.x, d.y - strike.strikeoutPos, d.x + run.width, d.y - strike.strikeoutPos + strike.lineThickness},
             dc.textColor);
}

} // namespace

int FontObject::Describe(int size, void* out) const
{
    if (!out)
        return static_cast<int>(sizeof(LOGFONTW));
    const int n = std::clamp(size, 0, static_cast<int>(sizeof(LOGFONTW)));
    std::memcpy(out, &logFont, static_cast<std::size_t>(n));
    return n;
}

bool InstallUnitFonts()
{
    DWORD error = 0;
    if (!HostPath(kUnitFontPath, true, &error).empty())
        return true;
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(UnitRoot(), ec);
    for (LPCWSTR folder : {u"\\NAND", u"\\NAND\\Wren"}) {
        const std::string host = HostPath(folder, false, &error);
        if (host.empty())
            return false;
        fs::create_directory(host, ec);
    }
    const std::string target = HostPath(kUnitFontPath, false, &error);
    if (target.empty())
        return false;
    // Copied under a temporary name and renamed, so that a reader never
    // sees a partial font file.
    const std::string temporary = target + ".part";
    if (!fs::copy_file(kSystemFontFile, temporary, fs::copy_options::overwrite_existing, ec)) {
        fs::remove(temporary, ec);
        return false;
    }
    fs::rename(temporary, target, ec);
    if (ec) {
        fs::remove(temporary, ec);
        return false;
    }
    Engine& engine = Engine::Get();
    std::lock_guard lock(engine.mutex);
    engine.ForgetResolutions();
    return true;
}

int CountMissingGlyphs(HFONT hfont, LPCWSTR text, int count)
{
    auto font = LookupGdiObject<FontObject>(hfont);
    if (!font)
        return -1;
    if (!text)
        return 0;
    if (count < 0)
        count = static_cast<int>(TextLength(text));
    Engine& engine = Engine::Get();
    std::lock_guard lock(engine.mutex);
    int missing = 0;
    for (int i = 0; i < count;)
        missing += engine.IsMissing(*font->strike, NextChar(text, count, i)) ? 1 : 0;
    return missing;
}

} // namespace platform

using namespace platform;

int AddFontResourceW(LPCWSTR path)
{
    if (!path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    DWORD error = ERROR_FILE_NOT_FOUND;
    const std::string host = HostPath(path, true, &error);
    if (host.empty()) {
        SetLastError(error);
        return 0;
    }
    Engine& engine = Engine::Get();
    std::lock_guard lock(engine.mutex);
    auto it = engine.registered.find(host);
    if (it != engine.registered.end()) {
        ++it->second.count;
        return static_cast<int>(it->second.faces.size());
    }
    FaceFile* first = engine.OpenFace(host, 0);
    if (!first) {
        SetLastError(ERROR_INVALID_DATA);
        return 0;
    }
    Engine::Registration reg;
    reg.count = 1;
    reg.faces.push_back(first);
    for (FT_Long i = 1; i < first->face->num_faces; ++i)
        if (FaceFile* face = engine.OpenFace(host, static_cast<int>(i)))
            reg.faces.push_back(face);
    const int added = static_cast<int>(reg.faces.size());
    engine.registered.emplace(host, std::move(reg));
    engine.RebuildFamilies();
    return added;
}

BOOL RemoveFontResourceW(LPCWSTR path)
{
    if (!path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string host = HostPath(path, true);
    if (host.empty())
        host = HostPath(path, false);
    Engine& engine = Engine::Get();
    std::lock_guard lock(engine.mutex);
    auto it = engine.registered.find(host);
    if (host.empty() || it == engine.registered.end()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (--it->second.count == 0) {
        engine.registered.erase(it);
        engine.RebuildFamilies();
    }
    return TRUE;
}

int EnumFontFamiliesW(HDC, LPCWSTR family, FONTENUMPROCW proc, LPARAM param)
{
    if (!proc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::u16string wanted = family ? FoldText(family) : std::u16string();
    std::vector<std::u16string> names;
    {
        Engine& engine = Engine::Get();
        std::lock_guard lock(engine.mutex);
        std::vector<std::u16string> seen;
        for (const auto& [path, reg] : engine.registered)
            for (FaceFile* face : reg.faces)
                for (const std::u16string& name : face->families) {
                    const std::u16string folded = FoldText(name);
                    if ((family && folded != wanted) || std::find(seen.begin(), seen.end(), folded) != seen.end())
                        continue;
                    seen.push_back(folded);
                    names.push_back(name);
                }
    }
    // The callback runs without the engine's lock: it may create fonts.
    int result = 1;
    for (const std::u16string& name : names) {
        LOGFONTW lf{};
        const size_t count = std::min<size_t>(name.size(), LF_FACESIZE - 1);
        std::copy_n(name.begin(), count, lf.lfFaceName);
        TEXTMETRICW tm{};
        result = proc(&lf, &tm, TRUETYPE_FONTTYPE, param);
        if (result == 0)
            break;
    }
    return result;
}

HFONT CreateFontIndirectW(const LOGFONTW* lf)
{
    if (!lf) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::u16string_view name(lf->lfFaceName, LF_FACESIZE);
    name = name.substr(0, name.find(u'\0'));
    std::shared_ptr<Strike> strike;
    {
        Engine& engine = Engine::Get();
        std::lock_guard lock(engine.mutex);
        const auto res = engine.Resolve(name, lf->lfWeight >= 600, lf->lfItalic != 0);
        if (!res.face) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return nullptr;
        }
        strike = engine.StrikeFor({res.face, EmFor(*res.face, lf->lfHeight), res.embolden, res.oblique,
                                   lf->lfQuality == NONANTIALIASED_QUALITY});
    }
    HGDIOBJ handle = RegisterGdiObject(std::make_shared<FontObject>(*lf, std::move(strike)));
    if (!handle)
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return static_cast<HFONT>(handle);
}

BOOL GetTextMetricsW(HDC hdc, TEXTMETRICW* tm)
{
    auto dc = LookupDc(hdc);
    if (!dc || !tm) {
        SetLastError(dc ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    auto font = FontOf(*dc);
    if (!font) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    const Strike& s = *font->strike;
    const FaceFile& f = *s.key.face;
    const LOGFONTW& lf = font->logFont;
    *tm = TEXTMETRICW{};
    tm->tmAscent = s.ascent;
    tm->tmDescent = s.descent;
    tm->tmHeight = s.ascent + s.descent;
    tm->tmInternalLeading = tm->tmHeight - s.key.em;
    tm->tmExternalLeading = s.externalLeading;
    tm->tmAveCharWidth = s.aveCharWidth;
    tm->tmMaxCharWidth = s.maxCharWidth;
    tm->tmWeight = lf.lfWeight > 0 ? std::min<LONG>(lf.lfWeight, 1000) : (f.bold ? FW_BOLD : FW_NORMAL);
    tm->tmDigitizedAspectX = GetDeviceCaps(hdc, LOGPIXELSX);
    tm->tmDigitizedAspectY = GetDeviceCaps(hdc, LOGPIXELSY);
    tm->tmFirstChar = f.firstChar;
    tm->tmLastChar = f.lastChar;
    tm->tmDefaultChar = f.defaultChar;
    tm->tmBreakChar = f.breakChar;
    tm->tmItalic = lf.lfItalic ? 1 : 0;
    tm->tmUnderlined = lf.lfUnderline ? 1 : 0;
    tm->tmStruckOut = lf.lfStrikeOut ? 1 : 0;
    tm->tmPitchAndFamily = static_cast<BYTE>((f.fixedPitch ? 0 : TMPF_FIXED_PITCH) | TMPF_VECTOR | TMPF_TRUETYPE
                                             | (lf.lfPitchAndFamily & 0xF0));
    tm->tmCharSet = f.hangul ? HANGUL_CHARSET : ANSI_CHARSET;
    return TRUE;
}

BOOL GetTextExtentExPointW(HDC hdc, LPCWSTR text, int count, int maxExtent, int* fit, int* dx, SIZE* size)
{
    auto dc = LookupDc(hdc);
    if (!dc || count < 0 || (count > 0 && !text)) {
        SetLastError(dc ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    auto font = FontOf(*dc);
    if (!font) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    Engine& engine = Engine::Get();
    std::lock_guard lock(engine.mutex);
    const Run& run = Layout(*font->strike, text, count, nullptr);
    if (dx)
        std::copy(run.extents.begin(), run.extents.end(), dx);
    if (fit)
        *fit = static_cast<int>(std::upper_bound(run.extents.begin(), run.extents.end(), maxExtent)
                                - run.extents.begin());
    if (size)
        *size = SIZE{run.width, font->strike->ascent + font->strike->descent};
    return TRUE;
}

BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, SIZE* size)
{
    return GetTextExtentExPointW(dc, text, count, 0, nullptr, nullptr, size);
}

BOOL ExtTextOutW(HDC hdc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count, const int* dx)
{
    auto dc = LookupDc(hdc);
    if (!dc || !dc->surface || (count > 0 && !text) || count > 0x7FFFFFFF) {
        SetLastError(dc ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    auto font = FontOf(*dc);
    if (!font) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    auto screenLock = LockTarget(*dc);
    Engine& engine = Engine::Get();
    std::lock_guard lock(engine.mutex);
    DrawRun(*dc, *font, x, y, dc->textAlign, options, rect, text, static_cast<int>(count), dx);
    return TRUE;
}

int DrawTextW(HDC hdc, LPCWSTR text, int count, RECT* rect, UINT format)
{
    auto dc = LookupDc(hdc);
    if (!dc || !dc->surface || !rect || (count != 0 && !text)) {
        SetLastError(dc ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return 0;
    }
    if (count < 0)
        count = static_cast<int>(TextLength(text));
    auto font = FontOf(*dc);
    if (!font) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    // Lines: the whole text, or split at '\n' (a '\r' before it dropped).
    std::vector<std::pair<int, int>> lines;
    if (format & DT_SINGLELINE) {
        lines.emplace_back(0, count);
    } else {
        int start = 0;
        for (int i = 0; i <= count; ++i) {
            if (i == count || text[i] == u'\n') {
                const int end = (i > start && text[i - 1] == u'\r') ? i - 1 : i;
                lines.emplace_back(start, end - start);
                start = i + 1;
            }
        }
    }
    auto screenLock = LockTarget(*dc);
    Engine& engine = Engine::Get();
    std::lock_guard lock(engine.mutex);
    const Strike& s = *font->strike;
    const int lineHeight = s.ascent + s.descent;
    const int total = lineHeight * static_cast<int>(lines.size());
    if (format & DT_CALCRECT) {
        int width = 0;
        for (const auto& [start, length] : lines)
            width = std::max(width, Layout(*font->strike, text + start, length, nullptr).width);
        rect->right = rect->left + width;
        rect->bottom = rect->top + total;
        return total;
    }
    int top = rect->top;
    if ((format & DT_SINGLELINE) && (format & DT_VCENTER))
        top = (rect->top + rect->bottom - lineHeight) / 2;
    else if ((format & DT_SINGLELINE) && (format & DT_BOTTOM))
        top = rect->bottom - lineHeight;
    const UINT options = (format & DT_NOCLIP) ? 0 : ETO_CLIPPED;
    for (const auto& [start, length] : lines) {
        int x = rect->left;
        UINT align = TA_LEFT | TA_TOP;
        if (format & DT_CENTER)
            x = (rect->left + rect->right) / 2, align = TA_CENTER | TA_TOP;
        else if (format & DT_RIGHT)
            x = rect->right, align = TA_RIGHT | TA_TOP;
        DrawRun(*dc, *font, x, top, align, options, rect, text + start, length, nullptr);
        top += lineHeight;
    }
    return total;
}
