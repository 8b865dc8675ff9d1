#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QWidget>

#include <vector>

// Keeps child controls at the distances from their container's edges that they had at the design size,
// so a control anchored to the left and right widens with the window and one anchored to the bottom stays
// at the bottom. Controls are placed in the container's coordinates, as the windows are drawn.
class Anchors final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Anchors)

public:
    Anchors(QWidget *container, QSize designSize);

    // The child's current geometry is taken as its place at the design size.
    void add(QWidget *child, Qt::Edges edges);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Anchored
    {
        QPointer<QWidget> child;
        Qt::Edges edges;
        QRect designGeometry;
    };

    void apply();

    QWidget *m_container;
    QSize m_designSize;
    std::vector<Anchored> m_anchored;
};
