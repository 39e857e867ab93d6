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

} // namespace hd
