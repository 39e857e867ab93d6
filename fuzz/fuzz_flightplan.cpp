// Flight-plan files are opened from anywhere. Any file must read without a
// fault into at most six sections, and six texts cut from the input must come
// back unchanged from a write and a read.
#include "FlightPlan.h"
#include "TextHelpers.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = hd::DefineEncoding(QByteArray(reinterpret_cast<const char *>(data), int(size)));
    if (hd::parseFlightPlan(text).size() > 6)
        std::abort();

    // Texts as a text area holds them: "\n" line ends, no marker line.
    QString clean = hd::ReplaceLineEndings(text, hd::EndOfLine);
    clean = hd::ReplaceAll(clean, hd::FlightPlanMarker, QString());
    QStringList texts = clean.split(QChar(0x1e)); // record separator cuts the input into texts
    while (texts.size() < 6)
        texts.append(QString());
    while (texts.size() > 6)
        texts.removeLast();
    for (QString &t : texts) {
        if (t.contains(hd::FlightPlanMarker))
            return 0;
    }
    const QStringList back = hd::parseFlightPlan(hd::composeFlightPlan(texts));
    if (back != texts && !(back.isEmpty() && hd::composeFlightPlan(texts).isEmpty()))
        std::abort();
    return 0;
}
