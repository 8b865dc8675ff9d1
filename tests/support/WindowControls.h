#pragma once

#include <QMessageBox>
#include <QString>
#include <QWidget>
#include <QtGlobal>

// Finding a window's controls by their object names, as the user-interface tests drive them.

// The child of that type and name; null, with a warning naming it, when there is none.
template <typename T> T *control(const QWidget *window, const char *name)
{
    T *child = window ? window->findChild<T *>(QLatin1String(name)) : nullptr;
    if (!child)
        qWarning("no control %s", name);
    return child;
}

// The text of the window's message box of that name, closed again; empty when there is none.
inline QString takeMessageBox(QWidget *window, const char *name)
{
    auto *box = window->findChild<QMessageBox *>(QLatin1String(name));
    if (!box)
        return {};
    const QString text = box->text();
    box->close();
    delete box;
    return text;
}
