#pragma once

#include <QHash>
#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>

class QAction;
class QMainWindow;
class QWidget;

// The one menu bar: File, Edit and Window. Its items are shared actions that
// every window's own menu bar shows; handlers are bound to items by name, either
// for the whole application or for one window (then the item acts only while
// that window is the active one).
class MainMenuBar : public QObject
{
    Q_OBJECT

public:
    using Handler = std::function<bool(int index)>;

    static MainMenuBar *instance();

    // Builds the three menus into window's menu bar (once per window).
    void installIn(QMainWindow *window);

    // The item of that entry name ("RecOpen", "FileRecSave", "FileQuit", ...);
    // nullptr for menu titles and separators.
    QAction *item(const QString &name) const;

    // The entry's text as the system has it ("Record & Play Window"); menus show
    // it with its ampersands doubled, so that they are not taken as mnemonics.
    QString text(const QString &name) const;

    // Entry names in menu order: the three menu titles, or the entries of one menu
    // (separators included).
    QStringList entryNames(const QString &menuName = QString()) const;

    void bind(const QString &name, Handler handler, QWidget *window = nullptr);

    // What choosing the item does now; returns whether a handler took it. A handler
    // bound to the active window goes first, then the application's; the Edit items
    // act on the focused text control.
    bool choose(const QString &name);

private:
    struct Entry
    {
        QString name;
        QString menu; // entry name of the menu's title; empty for a title
        QString text; // "-" for a separator
        QKeySequence shortcut;
        int index = -1; // 0 for the members of a menu-item array
    };
    struct Binding
    {
        Handler handler;
        QPointer<QWidget> window;
        bool windowBound = false;
    };

    MainMenuBar();
    void Untitled0();
    void Untitled1();
    void Untitled2();
    void add(const Entry &entry);
    const Entry *entry(const QString &name) const;

    QList<Entry> mEntries;
    QHash<QString, QAction *> mItems;
    QHash<QString, QList<Binding>> mBindings;
};
