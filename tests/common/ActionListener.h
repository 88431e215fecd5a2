// A listener of the kernel that records every action of one id it hears:
// how the tests read the notices that elements post.
#pragma once

#include "Lib_cpp/controls/Element.h"
#include "Lib_cpp/kernel/Kernel.h"

#include <vector>

namespace frametest {

class ActionListener : public IxElement {
public:
    explicit ActionListener(int id) : filter{IxActionWord(id, 0), 0} { IxGetKernel()->AddListener(filter, this); }
    int ActionIsInvoked(int code, int kind, LPARAM value) override
    {
        heard.push_back({code, kind, value});
        return 0;
    }
    void Draw(IxPaintRecord*) override {}

    DWORD filter[2];
    struct Heard {
        int code, kind;
        LPARAM value;
        bool operator==(const Heard&) const = default;
    };
    std::vector<Heard> heard;
};

} // namespace frametest
