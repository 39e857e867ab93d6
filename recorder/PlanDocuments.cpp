#include "PlanDocuments.h"

#include "TextHelpers.h"

#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextDocument>
#include <QTextOption>
#include <QThread>

#include <thread>
#include <vector>

namespace {

// What a text area gives its document and a document built elsewhere lacks.
struct Look
{
    QFont font;
    QTextOption option;
    qreal margin;
};

} // namespace

PlanDocuments::PlanDocuments(const QStringList &texts, const QList<QPlainTextEdit *> &areas, QObject *parent)
    : QObject(parent)
    , mAreas(areas.mid(0, texts.size()))
{
    std::vector<Look> looks;
    for (QPlainTextEdit *area : std::as_const(mAreas)) {
        const QTextDocument *own = area ? area->document() : nullptr;
        looks.push_back(own ? Look{own->defaultFont(), own->defaultTextOption(), own->documentMargin()} : Look{});
    }
    mDocuments.resize(mAreas.size());
    QThread *home = thread();
    mBuilder.reset(QThread::create([this, texts, looks, home] {
        std::vector<std::thread> builders;
        for (qsizetype i = 0; i < mDocuments.size(); ++i) {
            if (!mAreas.at(i))
                continue; // left as it is
            builders.emplace_back([this, i, &texts, &looks, home] {
                auto *doc = new QTextDocument;
                doc->setUndoRedoEnabled(false);
                doc->setDefaultFont(looks[size_t(i)].font);
                doc->setDefaultTextOption(looks[size_t(i)].option);
                doc->setDocumentMargin(looks[size_t(i)].margin);
                // One "\n" per line end, as the area's own text keeps them.
                doc->setPlainText(hd::ReplaceLineEndings(texts.at(i), hd::EndOfLine));
                doc->moveToThread(home);
                mDocuments[i] = doc;
            });
        }
        for (std::thread &builder : builders)
            builder.join();
    }));
    connect(mBuilder.get(), &QThread::finished, this, &PlanDocuments::ready);
    mBuilder->start();
}

PlanDocuments::~PlanDocuments()
{
    mBuilder->wait();
    qDeleteAll(mDocuments);
}

void PlanDocuments::install(int i)
{
    QTextDocument *doc = std::exchange(mDocuments[i], nullptr);
    if (!doc || !mAreas.at(i))
        return;
    doc->setDocumentLayout(new QPlainTextDocumentLayout(doc));
    doc->setUndoRedoEnabled(true);
    QPlainTextEdit *area = mAreas.at(i);
    // The area deletes only the document it made itself; one installed before goes
    // when the event loop next runs, not inside this change.
    QPointer<QTextDocument> old = area->document();
    area->setDocument(doc); // raises textChanged
    doc->setParent(area);
    if (old && old->parent() == area)
        old->deleteLater();
}

void PlanDocuments::drop()
{
    disconnect(this, &PlanDocuments::ready, nullptr, nullptr);
    connect(mBuilder.get(), &QThread::finished, this, &QObject::deleteLater);
    if (mBuilder->isFinished())
        deleteLater();
}
