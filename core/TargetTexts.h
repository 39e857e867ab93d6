#pragma once

#include <QString>

namespace hd {

// The six program texts, in tab order. The same index names a text area of the
// record and play window and a section of a flight-plan file.
enum TargetKind : int {
    PlainList = 0, // "Original": the commands as sent, read back by playback
    MixJuice = 1,  // "MJ": BASIC printing network-module UDP statements
    QzProgram = 2, // "QZ"
    WqProgram = 3, // "WQ"
    QzQueue = 4,   // "QZ Q"
    WqQueue = 5,   // "WQ Q"
};
constexpr int TargetKindCount = 6;

// Where the generator reads and writes the six texts. The window implements it
// over its text areas; tests implement it over plain strings. append() must not
// cost more than the appended text, so long flights stay linear.
class TargetTexts
{
public:
    virtual ~TargetTexts() = default;
    virtual bool isEmpty(int kind) const = 0;
    // Whether the text's last line is closed by a line end (false for an empty
    // text); as cheap as isEmpty, whatever the text's length.
    virtual bool endsWithLineEnd(int kind) const = 0;
    virtual QString text(int kind) const = 0;
    virtual void setText(int kind, const QString &text) = 0;
    virtual void append(int kind, const QString &piece) = 0;
};

} // namespace hd
