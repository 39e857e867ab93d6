#include "EventLoop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace hd {

namespace {

std::function<void(int)> &quitHandler()
{
    static std::function<void(int)> handler;
    return handler;
}

} // namespace

void DoEvents(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms < 0 ? 0 : ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

void Quit(int code)
{
    if (const auto &handler = quitHandler())
        handler(code);
    else
        QCoreApplication::exit(code);
}

void setQuitHandler(std::function<void(int)> handler)
{
    quitHandler() = std::move(handler);
}

} // namespace hd
