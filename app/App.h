#pragma once

#include <QApplication>
#include <QByteArray>
#include <QTranslator>

#include <memory>

class PlanDocuments;
class PlanWeigher;
namespace hd::OpenWeighing {
struct Verdict;
}

// The application object: opens both windows at start and handles the
// application-wide menu items (Window menu, File > Open..., File > Quit).
class App : public QApplication
{
    Q_OBJECT

public:
    App(int &argc, char **argv);
    ~App() override;

    static App *instance();

    // Start-up after construction: the translation of the menu texts, file types,
    // the menu bar and the menu-handler bindings. main() calls it before the event
    // loop; Event_Open follows from the loop. Runs once; later calls do nothing.
    void startUp();

    void Event_Open();
    bool WindowControll_Action();
    bool WindowShowRecordAndPlayWindow_Action();
    // Shows the open dialog; a file that can be read is then weighed in the background
    // (PlanWeigher) and opened only if it can be shown quickly. Returns false when the
    // dialog was cancelled or the file could not be read or was refused unread; else
    // flightPlanWeighed() follows, right away for an empty file.
    bool RecOpen_Action(int index);

    // What weighing uses: the probe's executable (by default the one beside this
    // program), the longest an action may take and the longest weighing may take.
    void setOpenProbe(const QString &path);
    void setOpenLimits(qint64 budgetNs, int deadlineMs);
    static constexpr qint64 OpenBudgetNs = 700'000'000;
    static constexpr int OpenDeadlineMs = 8000; // on eight cores; fewer are given longer

    bool isWeighing() const { return mWeigher != nullptr || mDocuments != nullptr; }

signals:
    // An Open that returned true has ended: the plan was shown, or it was refused and
    // the texts are as they were.
    void flightPlanWeighed(bool opened);

private:
    void weighed(const hd::OpenWeighing::Verdict &verdict);
    void stopWeighing();

    bool mStarted = false;
    QTranslator mTranslator;
    QString mOpenProbe;
    qint64 mOpenBudgetNs = OpenBudgetNs;
    int mOpenDeadlineMs = OpenDeadlineMs;
    std::unique_ptr<PlanWeigher> mWeigher;
    QString mWeighedPath;
    QByteArray mWeighedBytes;
    PlanDocuments *mDocuments = nullptr; // an accepted plan, still being built
};
