// The plain command list is user-editable text and comes from opened files.
#include "PlaybackList.h"
#include "TextHelpers.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = hd::DefineEncoding(QByteArray(reinterpret_cast<const char *>(data), int(size)));
    for (const hd::PlayStep &step : hd::parsePlaybackList(text)) {
        if (step.waitMs < 0 || step.command.contains(QLatin1Char('\n')))
            std::abort();
    }
    return 0;
}
