#include "OpenWeighing.h"

#include <QCoreApplication>
#include <QCryptographicHash>

#include <algorithm>
#include <iterator>

namespace hd::OpenWeighing {

namespace {

const char *const ActionWords[] = {"open", "tab", "end", "home", "screen", "page"};

QString tr(const char *text)
{
    return QCoreApplication::translate("App", text);
}

} // namespace

QByteArray probeLine(const Measured &m)
{
    return QByteArray(ActionWords[int(m.action)]) + ' ' + QByteArray::number(m.tab) + ' ' + QByteArray::number(m.line)
        + ' ' + QByteArray::number(m.ns) + (m.cut ? " cut" : "") + '\n';
}

QByteArray fileHash(QByteArrayView fileBytes)
{
    return QCryptographicHash::hash(fileBytes, QCryptographicHash::Md4).toHex() + ':'
        + QByteArray::number(fileBytes.size());
}

QByteArray doneLine(QByteArrayView fileBytes)
{
    return "done " + fileHash(fileBytes) + '\n';
}

std::optional<Measured> parseProbeLine(QByteArrayView line)
{
    const QList<QByteArray> words = line.trimmed().toByteArray().split(' ');
    Measured m;
    if (words.size() == 2 && words[0] == "done") {
        m.fileHash = words[1];
        return m;
    }
    if (words.size() != 4 && !(words.size() == 5 && words[4] == "cut"))
        return std::nullopt;
    const auto word = std::find(std::begin(ActionWords), std::end(ActionWords), words[0]);
    bool ok[3] = {};
    m.action = Action(word - std::begin(ActionWords));
    m.tab = words[1].toInt(&ok[0]);
    m.line = words[2].toLongLong(&ok[1]);
    m.ns = words[3].toLongLong(&ok[2]);
    m.cut = words.size() == 5;
    if (word == std::end(ActionWords) || !ok[0] || !ok[1] || !ok[2] || m.tab < 0 || m.tab > 5 || m.line < 0 || m.ns < 0)
        return std::nullopt;
    return m;
}

Verdict decide(const QList<Measured> &measured, const QList<QByteArray> &doneHashes, int probes,
               const QByteArray &expectedHash, qint64 budgetNs, bool pastDeadline, bool failed)
{
    Verdict verdict;
    for (const Measured &m : measured) {
        if ((m.cut || m.ns > budgetNs) && (verdict.kind != Verdict::TooSlow || m.ns > verdict.worst.ns)) {
            verdict.kind = Verdict::TooSlow;
            verdict.worst = m;
        }
    }
    if (verdict.kind == Verdict::TooSlow)
        return verdict;
    if (failed)
        verdict.kind = Verdict::Failed;
    else if (std::any_of(doneHashes.begin(), doneHashes.end(), [&](const QByteArray &h) { return h != expectedHash; }))
        verdict.kind = Verdict::Changed;
    else if (doneHashes.size() >= probes)
        verdict.kind = Verdict::Accepted;
    else if (pastDeadline)
        verdict.kind = Verdict::TimedOut;
    return verdict;
}

qint64 deadlineMs(qint64 baseMs, int cores)
{
    return baseMs * 8 / std::clamp(cores, 2, 8);
}

QString refusalText(const Verdict &verdict, qint64 budgetNs, qint64 deadlineMs, const QStringList &tabs,
                    const QLocale &locale)
{
    const auto ms = [&locale](qint64 ns) { return locale.toString((ns + 500'000) / 1'000'000); };
    switch (verdict.kind) {
    case Verdict::TimedOut:
        return tr("It could not be weighed within %1 seconds, so it cannot be shown quickly enough.")
            .arg(locale.toString(deadlineMs / 1000.0, 'g', 3));
    case Verdict::Failed:
        return tr("It could not be weighed: the helper program that lays it out away from the window "
                  "failed, so showing it might freeze the window.");
    case Verdict::Changed:
        return tr("The file changed while it was being weighed; open it again.");
    case Verdict::Pending:
    case Verdict::Accepted:
        return QString();
    case Verdict::TooSlow:
        break;
    }
    const Measured &m = verdict.worst;
    const QString tab = tabs.value(m.tab);
    QString action;
    switch (m.action) {
    case Action::Open:
        action = tr("Opening it");
        break;
    case Action::Tab:
        action = tr("Switching to the tab \"%1\"").arg(tab);
        break;
    case Action::End:
        action = tr("Going to the end of the tab \"%1\" (Ctrl+End)").arg(tab);
        break;
    case Action::Home:
        action = tr("Going back to the start of the tab \"%1\" (Ctrl+Home)").arg(tab);
        break;
    case Action::Screen:
    case Action::Page:
        action = tr("Showing the page at line %1 of the tab \"%2\"").arg(locale.toString(m.line), tab);
        break;
    }
    const QString took = m.cut ? tr("more than %1 ms").arg(ms(m.ns)) : tr("about %1 ms").arg(ms(m.ns));
    return tr("%1 would keep the window busy for %2; at most %3 ms is allowed, so that the drone can be "
              "landed meanwhile.")
        .arg(action, took, ms(budgetNs));
}

} // namespace hd::OpenWeighing
