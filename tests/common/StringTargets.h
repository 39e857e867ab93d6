#pragma once

#include "TargetTexts.h"
#include "TextHelpers.h"

#include <array>

// The six target texts as plain strings. Counts the whole-text accesses, which a
// text area pays for with a copy of its document.
class StringTargets final : public hd::TargetTexts
{
public:
    bool isEmpty(int kind) const override { return texts[kind].isEmpty(); }
    bool endsWithLineEnd(int kind) const override { return texts[kind].endsWith(hd::EndOfLine); }
    QString text(int kind) const override
    {
        ++wholeTextReads;
        return texts[kind];
    }
    void setText(int kind, const QString &text) override
    {
        ++wholeTextWrites;
        texts[kind] = text;
    }
    void append(int kind, const QString &piece) override { texts[kind] += piece; }

    std::array<QString, hd::TargetKindCount> texts;
    mutable int wholeTextReads = 0;
    int wholeTextWrites = 0;
};
