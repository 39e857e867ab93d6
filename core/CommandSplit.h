#pragma once

#include <QString>

namespace hd {

// A sent command text as the recorder receives it.
struct CommandWords
{
    QString word;
    QString argument;
    bool operator==(const CommandWords &o) const { return word == o.word && argument == o.argument; }
};

// Buttons and the Send button: the text before the first space (all of it when
// there is none), and everything after that space, further spaces kept.
CommandWords splitFirstWordAndRest(const QString &text);

// Playback and the close: the first and the second blank-separated field only.
CommandWords splitFirstAndSecondWord(const QString &text);

} // namespace hd
