#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QWidget>

// The windows of which at most one is open at a time, one per class. The console owns the registry; a
// command opens its window through open(), which brings the open one to the front instead of making a
// second. The windows are owned by nobody: each deletes itself on close. The registry forgets a window as it
// is hidden, since it is deleted only once the event loop runs again and whatever wants the window before
// then must get a new one; and closes whatever is still open when it goes.
class WindowRegistry final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WindowRegistry)

public:
    explicit WindowRegistry(QObject *parent = nullptr);
    ~WindowRegistry() override;

    // The open window of class T, or null.
    template <class T> T *find() const
    {
        const QPointer<QWidget> window = m_windows.value(&T::staticMetaObject);
        return static_cast<T *>(window.data());
    }

    // Raises and activates the open window of class T; without one, makes one with make(), registers it and
    // shows it.
    template <class T, class Make> T *open(Make make)
    {
        if (T *window = find<T>()) {
            bringToFront(window);
            return window;
        }
        T *created = make();
        add(created);
        created->show();
        return created;
    }

    // Registers a window made and shown by its own rules. One registered before it stays open but is no
    // longer the one found.
    template <class T> void add(T *window)
    {
        window->setAttribute(Qt::WA_DeleteOnClose);
        m_windows.insert(&T::staticMetaObject, window);
        window->installEventFilter(this);
        connect(window, &QObject::destroyed, this, &WindowRegistry::forget);
        Q_EMIT added(window);
    }

    int openCount() const;

Q_SIGNALS:
    // A window was registered: whoever owns the registry connects to what the window asks for.
    void added(QWidget *window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    static void bringToFront(QWidget *window);
    void forget(QObject *window);

    QHash<const QMetaObject *, QPointer<QWidget>> m_windows;
};
