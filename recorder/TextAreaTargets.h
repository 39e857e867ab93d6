#pragma once

#include "TargetTexts.h"

#include <array>

class QPlainTextEdit;

// The six target texts as the record and play window's text areas. Areas hold "\n"
// line ends; every change raises the area's textChanged as a user edit does, and
// starts the area's undo history afresh.
class TextAreaTargets final : public hd::TargetTexts
{
public:
    explicit TextAreaTargets(const std::array<QPlainTextEdit *, hd::TargetKindCount> &areas);

    bool isEmpty(int kind) const override;
    // From the document's last block, without copying the text.
    bool endsWithLineEnd(int kind) const override;
    // Exactly the characters the area holds (no-break spaces stay what they are).
    QString text(int kind) const override;
    void setText(int kind, const QString &text) override;
    // Costs only the piece: the document is not rewritten. Shows the area's end.
    void append(int kind, const QString &piece) override;

private:
    std::array<QPlainTextEdit *, hd::TargetKindCount> mAreas;
};
