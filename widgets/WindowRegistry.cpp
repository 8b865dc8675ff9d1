#include "widgets/WindowRegistry.h"

#include <QEvent>

WindowRegistry::WindowRegistry(QObject *parent) : QObject(parent) {}

WindowRegistry::~WindowRegistry()
{
    // The windows refer to what the registry's owner owns.
    const auto windows = m_windows;
    m_windows.clear();
    for (const QPointer<QWidget> &window : windows)
        delete window.data();
}

int WindowRegistry::openCount() const
{
    int open = 0;
    for (const QPointer<QWidget> &window : m_windows)
        open += window ? 1 : 0;
    return open;
}

void WindowRegistry::bringToFront(QWidget *window)
{
    if (window->isMinimized())
        window->showNormal();
    window->raise();
    window->activateWindow();
}

void WindowRegistry::forget(QObject *window)
{
    // A widget says it is destroyed while its pointers still point at it.
    m_windows.removeIf([window](const auto &entry) {
        const QWidget *registered = entry.value().data();
        return !registered || static_cast<const QObject *>(registered) == window;
    });
}

bool WindowRegistry::eventFilter(QObject *watched, QEvent *event)
{
    // A window minimised by the window manager is hidden spontaneously and stays open.
    if (event->type() == QEvent::Hide && !event->spontaneous())
        forget(watched);
    return QObject::eventFilter(watched, event);
}
