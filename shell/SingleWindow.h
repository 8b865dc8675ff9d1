#pragma once

#include <QPointer>
#include <QWidget>

// One process-wide window per kind T: the command that opens it creates the window or brings the existing one to
// the front. The window deletes itself on close, which clears the reference through QPointer.
template <typename T> class SingleWindow final
{
public:
    SingleWindow() = delete;

    static T *instance() { return reference().data(); }

    // make() builds a new window (owned by nobody: it lives until it is closed).
    template <typename Make> static T *open(Make &&make)
    {
        QPointer<T> &window = reference();
        if (window) {
            if (window->isMinimized())
                window->showNormal();
            window->raise();
            window->activateWindow();
            return window.data();
        }
        T *created = make();
        created->setAttribute(Qt::WA_DeleteOnClose);
        window = created;
        created->show();
        return created;
    }

    static T *open()
    {
        return open([] { return new T; });
    }

private:
    static QPointer<T> &reference()
    {
        static QPointer<T> window;
        return window;
    }
};
