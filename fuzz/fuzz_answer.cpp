// Answers on the command socket come from whoever sends to our port.
#include "AnswerDispatch.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const qint64 staId = data[0] % 12;
    const QByteArray datagram(reinterpret_cast<const char *>(data + 1), int(size - 1));
    const hd::Answer answer = hd::dispatchAnswer(datagram, staId);
    if (answer.kind == hd::Answer::Value && staId != 5 && staId != 7 && answer.text.size() > datagram.size())
        std::abort(); // a value is never longer than what arrived (decoding aside)
    return 0;
}
