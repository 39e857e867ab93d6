#pragma once

#include <QList>
#include <QObject>
#include <QStringList>

#include <memory>

class QPlainTextEdit;
class QTextDocument;
class QThread;

// The documents of an opened flight plan, built away from the window: a text area
// stores a line in about 3 us, so the six texts of a recorded flight of 65,000
// commands would keep the window busy for more than a second. Each text is built on
// a thread of its own; ready() comes once all are done, in the thread that created
// this object. Destroying it waits for the builders and drops what they built.
class PlanDocuments : public QObject
{
    Q_OBJECT

public:
    // The texts as the areas' own documents would hold them: their font and options.
    PlanDocuments(const QStringList &texts, const QList<QPlainTextEdit *> &areas, QObject *parent = nullptr);
    ~PlanDocuments() override;

    // Shows document i in its area, in place of the area's text: one change of the area
    // like any other, after which undo starts afresh. Call once ready() has come.
    void install(int i);
    int count() const { return int(mDocuments.size()); }
    // Nothing of it is wanted any more: it goes once the builders are done, without
    // blocking the caller.
    void drop();

signals:
    void ready();

private:
    QList<QPlainTextEdit *> mAreas;
    QList<QTextDocument *> mDocuments;
    std::unique_ptr<QThread> mBuilder;
};
