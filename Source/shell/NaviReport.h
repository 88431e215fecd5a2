// The navigation program's report (WM_COPYDATA with dwData 1181): 8-bit text
// of fields separated by ", ". The main window takes the seventh and eighth
// fields as decimal numbers.
#pragma once

#include "platform/base/Types.h"

#include <cstddef>

struct NaviReportValues {
    LONG seventh = 0;
    LONG eighth = 0;
};

// Reads the two fields from size bytes of data; the text ends at the end of
// the data or at a zero byte, whichever comes first, and nothing past it is
// read. Each field is read as atol does (leading white space, an optional
// sign, the digits that follow), saturated to the range of a 32-bit number;
// a field that is missing reads 0.
NaviReportValues ParseNaviReport(const BYTE* data, std::size_t size);
