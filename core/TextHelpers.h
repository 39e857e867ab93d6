#pragma once

#include <QByteArray>
#include <QString>

// The text operations every part of the program relies on. Positions and field
// numbers count from 1; lengths count UTF-16 code units, as QString does.
namespace hd {

// The line end of program texts, the message log and flight-plan files.
inline const QString EndOfLine = QStringLiteral("\n");

// Field n of text split at every whole occurrence of separator; empty beyond the
// last field (and for n < 1); the whole text when the separator is absent.
QString NthField(const QString &text, const QString &separator, qsizetype n);

// Separators + 1 for a non-empty text (a trailing separator counts an empty field);
// 0 for the empty text.
qsizetype CountFields(const QString &text, const QString &separator);

// Every occurrence of find replaced by replacement (an empty find changes nothing).
QString ReplaceAll(const QString &text, const QString &find, const QString &replacement);

// Each CR LF, lone CR and lone LF becomes lineEnd. A text that needs no change is
// given back as it is, without a copy.
QString ReplaceLineEndings(const QString &text, const QString &lineEnd);

// From position start (1-based) to the end; empty past the end; start < 1 acts as 1.
QString Mid(const QString &text, qsizetype start);

qsizetype Len(const QString &text);

// Decimal digits, "-" when negative, no blank.
QString Str(qint64 value);

// The number the text begins with (leading blanks and tabs skipped, optional sign,
// digits, optional fraction and exponent), else 0.
double Val(const QString &text);

// Val truncated toward zero, saturated to the qint64 range.
qint64 IntVal(const QString &text);

// The bytes taken as UTF-8 (invalid sequences become U+FFFD).
QString DefineEncoding(const QByteArray &bytes);

// The program's one letter-case rule: equality ignoring ASCII letter case only.
bool SameText(const QString &a, const QString &b);

} // namespace hd
