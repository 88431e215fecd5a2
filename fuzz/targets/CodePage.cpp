// The code page conversions both ways: bounds (the size asked first is the
// size written, a short buffer is left alone) and round trips of what
// converted strictly.
#include "platform/io/CodePage.h"
#include "fuzz/FuzzTarget.h"

#include <string>
#include <vector>

WREN_FUZZ_TARGET(CodePage)
{
    if (size < 1)
        return 0;
    const UINT pages[] = {CP_ACP, 949, CP_UTF8, CP_UTF7};
    const UINT page = pages[data[0] % 4];
    const DWORD flags = (data[0] & 4) ? MB_ERR_INVALID_CHARS : 0;
    const std::vector<char> bytes(data + 1, data + size);
    const int length = static_cast<int>(bytes.size());
    if (length > 0) {
        const int wideSize = MultiByteToWideChar(page, flags, bytes.data(), length, nullptr, 0);
        if (wideSize > 0) {
            std::vector<WCHAR> wide(static_cast<size_t>(wideSize) + 1, u'#');
            FUZZ_CHECK(MultiByteToWideChar(page, flags, bytes.data(), length, wide.data(), wideSize) == wideSize);
            FUZZ_CHECK(wide[wideSize] == u'#');
            if (wideSize > 1)
                FUZZ_CHECK(MultiByteToWideChar(page, flags, bytes.data(), length, wide.data(), wideSize - 1) == 0);
            if (flags && page != CP_UTF7) {
                const int back = WideCharToMultiByte(page, 0, wide.data(), wideSize, nullptr, 0, nullptr, nullptr);
                std::string again(static_cast<size_t>(back), '\0');
                FUZZ_CHECK(back > 0
                           && WideCharToMultiByte(page, 0, wide.data(), wideSize, again.data(), back, nullptr, nullptr)
                               == back);
                FUZZ_CHECK(again == std::string(bytes.begin(), bytes.end()));
            }
        }
    }
    // The same bytes as UTF-16 units the other way.
    std::vector<WCHAR> units;
    for (size_t i = 1; i + 1 < size; i += 2)
        units.push_back(static_cast<WCHAR>(data[i] | (data[i + 1] << 8)));
    if (!units.empty()) {
        const int count = static_cast<int>(units.size());
        BOOL usedDefault = FALSE;
        const int byteSize = WideCharToMultiByte(page, 0, units.data(), count, nullptr, 0, nullptr, &usedDefault);
        if (byteSize > 0) {
            std::vector<char> out(static_cast<size_t>(byteSize) + 1, '#');
            FUZZ_CHECK(WideCharToMultiByte(page, 0, units.data(), count, out.data(), byteSize, nullptr, &usedDefault)
                       == byteSize);
            FUZZ_CHECK(out[byteSize] == '#');
        }
    }
    return 0;
}
