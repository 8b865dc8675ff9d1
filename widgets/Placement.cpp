#include "widgets/Placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

void PlaceAboveTaskbar(QWidget *window)
{
    if (!window)
        return;
    const QScreen *screen = window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect whole = screen->geometry();
    const QRect available = screen->availableGeometry();
    const int panelHeight = whole.bottom() - available.bottom();
    const QSize size = window->frameGeometry().size();
    // The screen's own origin counts on a desktop of several screens.
    window->move(whole.x() + whole.width() - size.width() - 5,
                 whole.y() + whole.height() - size.height() - panelHeight);
}
