// State datagrams arrive from the network ten times a second: any bytes must
// parse without a fault, and only the eight state labels may be touched.
#include "StateDatagram.h"
#include "TextHelpers.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = hd::DefineEncoding(QByteArray(reinterpret_cast<const char *>(data), int(size)));
    const auto labels = hd::stateLabelTexts(text);
    for (auto it = labels.begin(); it != labels.end(); ++it) {
        if (it.key() < 1 || it.key() > 8)
            std::abort();
    }
    hd::parseStateFields(text);
    return 0;
}
