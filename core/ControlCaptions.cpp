#include "ControlCaptions.h"

#include "CommandSplit.h"
#include "TextHelpers.h"

namespace hd {

QString rewriteCaption(const QString &caption, const QString &valueText)
{
    return splitFirstWordAndRest(caption).word + u' ' + valueText;
}

qint64 comboNumber(const QString &text)
{
    return IntVal(text);
}

std::optional<QString> boxTextFor(const QString &boxText, int sliderValue, bool userTyping)
{
    const QString text = Str(sliderValue);
    if (userTyping || boxText == text)
        return std::nullopt;
    return text;
}

} // namespace hd
