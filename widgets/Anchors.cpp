#include "widgets/Anchors.h"

#include <QEvent>

#include <algorithm>

namespace {

// One axis: the start and length of a control given which of the two edges it is tied to.
std::pair<int, int> follow(int start, int length, int growth, bool nearEdge, bool farEdge)
{
    if (nearEdge && farEdge)
        return {start, std::max(0, length + growth)};
    if (farEdge)
        return {start + growth, length};
    return {start, length};
}

} // namespace

Anchors::Anchors(QWidget *container, QSize designSize)
    : QObject(container), m_container(container), m_designSize(designSize)
{
    container->installEventFilter(this);
}

void Anchors::add(QWidget *child, Qt::Edges edges)
{
    m_anchored.push_back({child, edges, child->geometry()});
    apply();
}

bool Anchors::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_container && event->type() == QEvent::Resize)
        apply();
    return QObject::eventFilter(watched, event);
}

void Anchors::apply()
{
    const int dx = m_container->width() - m_designSize.width();
    const int dy = m_container->height() - m_designSize.height();
    for (const Anchored &anchored : m_anchored) {
        if (!anchored.child)
            continue;
        const QRect design = anchored.designGeometry;
        const auto [x, width] = follow(design.x(), design.width(), dx, anchored.edges.testFlag(Qt::LeftEdge),
                                       anchored.edges.testFlag(Qt::RightEdge));
        const auto [y, height] = follow(design.y(), design.height(), dy, anchored.edges.testFlag(Qt::TopEdge),
                                        anchored.edges.testFlag(Qt::BottomEdge));
        anchored.child->setGeometry(x, y, width, height);
    }
}
