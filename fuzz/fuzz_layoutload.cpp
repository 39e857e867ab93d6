// Flight-plan files are opened from anywhere, and each is estimated from its bytes
// before anything is decoded. Any file must be estimated without a fault, refused
// exactly when its estimate exceeds the budget, and read as the parser reads its
// text when it is not refused. The first byte repeats the rest up to 32 times, so
// that short inputs reach long lines, long runs and deep stacks of marks.
#include "FlightPlan.h"
#include "TextHelpers.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray rest(reinterpret_cast<const char *>(data) + 1, int(size - 1));
    const QByteArray file = rest.repeated(data[0] % 32 + 1);

    const hd::LayoutLoad load = hd::layoutLoad(file);
    check(load.ns >= 0 && load.lines >= 1 && load.bytes <= file.size());
    check((load.exceeded != hd::Refusal::None) == (load.ns > hd::ShowBudget::BudgetNs));
    check(load.allowed >= 0 && load.longLineBytes <= load.bytes && load.longestLine <= load.longLineBytes);

    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("plan.txt"));
    QFile out(path);
    check(out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(file) == file.size());
    out.close();
    const hd::FileResult<hd::FlightPlanRead> read = hd::readFlightPlanFile(path);
    check(read.ok);
    QByteArray content = file;
    if (content.startsWith("\xEF\xBB\xBF"))
        content.remove(0, 3);
    check(read.value.refused == hd::layoutLoad(content).exceeded);
    if (read.value.refused == hd::Refusal::None)
        check(read.value.sections == hd::parseFlightPlan(hd::DefineEncoding(content)));
    else
        check(read.value.sections.isEmpty());
    return 0;
}
