#include "CommandSplit.h"

#include "TextHelpers.h"

namespace hd {

CommandWords splitFirstWordAndRest(const QString &text)
{
    const qsizetype space = text.indexOf(u' ');
    if (space < 0)
        return {text, QString()};
    return {text.left(space), text.mid(space + 1)};
}

CommandWords splitFirstAndSecondWord(const QString &text)
{
    const QString blank = QStringLiteral(" ");
    return {NthField(text, blank, 1), NthField(text, blank, 2)};
}

} // namespace hd
