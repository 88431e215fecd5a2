#include "assets/Manifest.h"

#include <charconv>
#include <fstream>
#include <set>
#include <sstream>

namespace assets {
namespace {

std::string Trim(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return "";
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

bool ParseInt(const std::string& text, int minimum, int maximum, int& out)
{
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, out);
    return result.ec == std::errc() && result.ptr == end && out >= minimum && out <= maximum;
}

bool ParseFormat(const std::string& text, AssetFormat& out)
{
    static const std::map<std::string, AssetFormat> kNames = {
        {"bmp", AssetFormat::Bmp}, {"bmp-key", AssetFormat::BmpKeyed},
        {"png", AssetFormat::Png}, {"png-alpha", AssetFormat::PngAlpha},
        {"wav", AssetFormat::Wav},
    };
    const auto found = kNames.find(text);
    if (found == kNames.end())
        return false;
    out = found->second;
    return true;
}

bool ExtensionFits(const std::string& path, AssetFormat format)
{
    const auto dot = path.rfind('.');
    if (dot == std::string::npos)
        return false;
    std::string extension = path.substr(dot + 1);
    for (char& c : extension)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    switch (format) {
    case AssetFormat::Bmp:
    case AssetFormat::BmpKeyed:
        return extension == "bmp";
    case AssetFormat::Png:
    case AssetFormat::PngAlpha:
        return extension == "png";
    case AssetFormat::Wav:
        return extension == "wav";
    }
    return false;
}

} // namespace

std::string ManifestEntry::HostRelativePath() const
{
    std::string out;
    for (char c : unitPath) {
        if (c == '\\') {
            if (!out.empty())
                out += '/';
        } else {
            out += c;
        }
    }
    return out;
}

std::string ManifestEntry::Arg(const std::string& key, const std::string& fallback) const
{
    const auto found = args.find(key);
    return found == args.end() ? fallback : found->second;
}

int ManifestEntry::IntArg(const std::string& key, int fallback) const
{
    int value = 0;
    return ParseInt(Arg(key), -100000, 100000, value) ? value : fallback;
}

bool ParseManifest(const std::string& text, const std::string& name, std::vector<ManifestEntry>& entries,
                   std::string& error)
{
    std::istringstream in(text);
    std::string line;
    std::set<std::string> seen;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        const std::string trimmed = Trim(line);
        if (trimmed.empty() || trimmed[0] == '#')
            continue;
        std::vector<std::string> fields;
        std::size_t start = 0;
        for (;;) {
            const auto bar = trimmed.find('|', start);
            fields.push_back(Trim(trimmed.substr(start, bar == std::string::npos ? bar : bar - start)));
            if (bar == std::string::npos)
                break;
            start = bar + 1;
        }
        const auto fail = [&](const std::string& what) {
            error = name + ":" + std::to_string(number) + ": " + what;
            return false;
        };
        if (fields.size() != 8)
            return fail("expected 8 fields separated by '|'");
        ManifestEntry entry;
        entry.line = number;
        entry.unitPath = fields[0];
        if (entry.unitPath.size() < 2 || entry.unitPath[0] != '\\' || entry.unitPath.find('/') != std::string::npos
            || entry.unitPath.find("..") != std::string::npos)
            return fail("the path must be an absolute unit path with '\\' separators");
        if (!ParseFormat(fields[4], entry.format))
            return fail("unknown format '" + fields[4] + "'");
        const int minimum = entry.format == AssetFormat::Wav ? 8000 : 1;
        if (!ParseInt(fields[1], minimum, entry.format == AssetFormat::Wav ? 48000 : 4096, entry.width)
            || !ParseInt(fields[2], 1, entry.format == AssetFormat::Wav ? 10000 : 4096, entry.height)
            || !ParseInt(fields[3], 1, 64, entry.frames))
            return fail("bad width, height or frame count");
        if (!ExtensionFits(entry.unitPath, entry.format))
            return fail("the extension does not fit the format");
        entry.drawing = fields[5];
        if (entry.drawing.empty())
            return fail("no drawing");
        std::istringstream args(fields[6]);
        std::string pair;
        while (std::getline(args, pair, ';')) {
            pair = Trim(pair);
            if (pair.empty())
                continue;
            const auto equals = pair.find('=');
            if (equals == std::string::npos)
                return fail("argument '" + pair + "' is not key=value");
            entry.args[Trim(pair.substr(0, equals))] = Trim(pair.substr(equals + 1));
        }
        entry.description = fields[7];
        if (!seen.insert(entry.unitPath).second)
            return fail("the path stands twice");
        entries.push_back(std::move(entry));
    }
    return true;
}

bool ReadManifest(const std::string& path, std::vector<ManifestEntry>& entries, std::string& error)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = path + ": cannot read";
        return false;
    }
    std::stringstream text;
    text << file.rdbuf();
    return ParseManifest(text.str(), path, entries, error);
}

} // namespace assets
