// What the GPS receiver reads from its serial line: any bytes, split into
// lines; only sound sentences are taken, each one a line it was sent, and
// a sentence made from a taken body reads back as that body.
#include "fuzz/FuzzTarget.h"
#include "sim/GpsReceiver.h"

#include <string>

WREN_FUZZ_TARGET(GpsSentences)
{
    sim::CGpsReceiver gps;
    gps.OnReceive(data, size);
    gps.OnReceive(reinterpret_cast<const BYTE*>("\n"), 1);
    for (const std::string& body : gps.Sentences()) {
        FUZZ_CHECK(body.size() + 4 <= sim::CGpsReceiver::kMaxSentence);
        std::string again;
        std::string sentence = sim::CGpsReceiver::MakeSentence(body);
        sentence.resize(sentence.size() - 2);
        FUZZ_CHECK(sim::CGpsReceiver::ParseSentence(sentence, &again) && again == body);
    }
    for (const std::string& line : gps.Rejected())
        FUZZ_CHECK(line.size() <= sim::CGpsReceiver::kMaxSentence + 1);
    return 0;
}
