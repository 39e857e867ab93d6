#include "MainMenuBar.h"

#include "Module1.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace {

const char InstalledProperty[] = "hdMainMenuBarInstalled";

QString displayed(QString text)
{
    return text.replace(QLatin1Char('&'), QLatin1String("&&"));
}

void clearSelection(QLineEdit *edit)
{
    edit->del();
}

template <typename TextEdit>
void clearSelection(TextEdit *edit)
{
    edit->textCursor().removeSelectedText();
}

// One Edit item on one text control; read-only controls only copy and select.
template <typename Edit>
bool editWith(Edit *edit, const QString &name)
{
    const bool editable = !edit->isReadOnly();
    if (name == QLatin1String("EditUndo") && editable)
        edit->undo();
    else if (name == QLatin1String("EditCut") && editable)
        edit->cut();
    else if (name == QLatin1String("EditCopy"))
        edit->copy();
    else if (name == QLatin1String("EditPaste") && editable)
        edit->paste();
    else if (name == QLatin1String("EditClear") && editable)
        clearSelection(edit);
    else if (name == QLatin1String("EditSelectAll"))
        edit->selectAll();
    else
        return false;
    return true;
}

// The Edit items have no handler of the program's own: they act on the text
// control that has the focus, as its own shortcuts would.
bool editFocused(const QString &name)
{
    QWidget *focus = QApplication::focusWidget();
    if (auto *combo = qobject_cast<QComboBox *>(focus))
        focus = combo->lineEdit();
    if (auto *line = qobject_cast<QLineEdit *>(focus))
        return editWith(line, name);
    if (auto *plain = qobject_cast<QPlainTextEdit *>(focus))
        return editWith(plain, name);
    if (auto *rich = qobject_cast<QTextEdit *>(focus))
        return editWith(rich, name);
    return false;
}

} // namespace

MainMenuBar *MainMenuBar::instance()
{
    static MainMenuBar *bar = nullptr;
    if (!bar)
        bar = new MainMenuBar;
    return bar;
}

MainMenuBar::MainMenuBar()
    : QObject(QCoreApplication::instance())
{
    setObjectName(QStringLiteral("MainMenuBar"));
    Untitled0();
    Untitled1();
    Untitled2();
}

void MainMenuBar::Untitled0()
{
    const QString menu = QStringLiteral("FileMenu");
    add({menu, {}, QStringLiteral("ファイル"), {}, -1});
    add({QStringLiteral("RecOpen"), menu, Module1::kRecOpen(QString()), QKeySequence::Open, 0});
    add({QStringLiteral("UntitledSeparator"), menu, QStringLiteral("-"), {}, -1});
    add({QStringLiteral("FileRecSave"), menu, Module1::kRecSave(QString()), QKeySequence::Save, 0});
    add({QStringLiteral("UntitledSeparator0"), menu, QStringLiteral("-"), {}, -1});
    add({QStringLiteral("FileQuit"), menu, QStringLiteral("終了"), QKeySequence::Quit, -1});
}

void MainMenuBar::Untitled1()
{
    const QString menu = QStringLiteral("EditMenu");
    add({menu, {}, QStringLiteral("編集"), {}, -1});
    add({QStringLiteral("EditUndo"), menu, QStringLiteral("取り消す"), QKeySequence::Undo, -1});
    add({QStringLiteral("EditSeparator1"), menu, QStringLiteral("-"), {}, -1});
    add({QStringLiteral("EditCut"), menu, QStringLiteral("カット"), QKeySequence::Cut, -1});
    add({QStringLiteral("EditCopy"), menu, QStringLiteral("コピー"), QKeySequence::Copy, -1});
    add({QStringLiteral("EditPaste"), menu, QStringLiteral("貼り付け"), QKeySequence::Paste, -1});
    add({QStringLiteral("EditClear"), menu, QStringLiteral("削除"), {}, -1});
    add({QStringLiteral("EditSeparator2"), menu, QStringLiteral("-"), {}, -1});
    add({QStringLiteral("EditSelectAll"), menu, QStringLiteral("すべてを選択"), QKeySequence::SelectAll, -1});
}

void MainMenuBar::Untitled2()
{
    const QString menu = QStringLiteral("kWindowMenu");
    add({menu, {}, Module1::kWindow(QString()), {}, -1});
    add({QStringLiteral("WindowControll"), menu, Module1::kShowControllerWindow(QString()), {}, -1});
    add({QStringLiteral("WindowShowRecordAndPlayWindow"), menu, Module1::kShowRecordPlayWindow(QString()), {}, -1});
}

void MainMenuBar::add(const Entry &newEntry)
{
    mEntries.append(newEntry);
    if (newEntry.menu.isEmpty() || newEntry.text == QLatin1String("-"))
        return;

    auto *action = new QAction(displayed(newEntry.text), this);
    action->setObjectName(newEntry.name);
    action->setShortcut(newEntry.shortcut);
    action->setMenuRole(newEntry.name == QLatin1String("FileQuit") ? QAction::QuitRole : QAction::NoRole);
    const QString name = newEntry.name;
    connect(action, &QAction::triggered, this, [this, name] { choose(name); });
    mItems.insert(name, action);
}

const MainMenuBar::Entry *MainMenuBar::entry(const QString &name) const
{
    for (const Entry &candidate : mEntries) {
        if (candidate.name == name)
            return &candidate;
    }
    return nullptr;
}

void MainMenuBar::installIn(QMainWindow *window)
{
    if (!window || window->property(InstalledProperty).toBool())
        return;
    window->setProperty(InstalledProperty, true);

    QMenuBar *bar = window->menuBar();
    QMenu *menu = nullptr;
    for (const Entry &each : std::as_const(mEntries)) {
        if (each.menu.isEmpty()) {
            menu = bar->addMenu(displayed(each.text));
            menu->setObjectName(each.name);
        } else if (each.text == QLatin1String("-")) {
            menu->addSeparator()->setObjectName(each.name);
        } else {
            menu->addAction(mItems.value(each.name));
        }
    }
}

QAction *MainMenuBar::item(const QString &name) const
{
    return mItems.value(name);
}

QString MainMenuBar::text(const QString &name) const
{
    const Entry *found = entry(name);
    return found ? found->text : QString();
}

QStringList MainMenuBar::entryNames(const QString &menuName) const
{
    QStringList names;
    for (const Entry &each : mEntries) {
        if (each.menu == menuName)
            names << each.name;
    }
    return names;
}

void MainMenuBar::bind(const QString &name, Handler handler, QWidget *window)
{
    mBindings[name].append({std::move(handler), window, window != nullptr});
}

bool MainMenuBar::choose(const QString &name)
{
    const Entry *chosen = entry(name);
    if (!chosen || chosen->menu.isEmpty() || chosen->text == QLatin1String("-"))
        return false;

    // Copied: a handler may bind more items.
    const QList<Binding> bindings = mBindings.value(name);
    QWidget *active = QApplication::activeWindow();
    for (const Binding &binding : bindings) {
        if (binding.windowBound && binding.window && binding.window == active && binding.handler(chosen->index))
            return true;
    }
    for (const Binding &binding : bindings) {
        if (!binding.windowBound && binding.handler(chosen->index))
            return true;
    }
    return editFocused(name);
}
