#include "game/GobangGrid.h"

#include <QMouseEvent>
#include <QPainter>

namespace {

const QColor LineColour(128, 128, 128);

// A Windows ellipse call fills its box without the right and bottom edges; Qt's aliased outline covers
// both, so the box shrinks by one.
void ellipse(QPainter &painter, int left, int top, int right, int bottom)
{
    painter.drawEllipse(QRect(left, top, right - left - 1, bottom - top - 1));
}

// A line without its end point, as a Windows line call draws it; only horizontal and vertical ones here.
void lineTo(QPainter &painter, int x1, int y1, int x2, int y2)
{
    painter.drawLine(x1, y1, x2 - (x2 > x1 ? 1 : 0), y2 - (y2 > y1 ? 1 : 0));
}

} // namespace

GobangGrid::GobangGrid(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("DrawGrid_Gobang"));
    setFixedSize(Side, Side);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void GobangGrid::setCell(int column, int row, int value)
{
    if (column < 0 || column >= Cells || row < 0 || row >= Cells)
        return;
    Board[column][row] = value;
    update();
}

void GobangGrid::clearCells()
{
    Board = {};
    update();
}

void GobangGrid::setLastMove(int column, int row)
{
    LastCol = column;
    LastRow = row;
    update();
}

QPoint GobangGrid::cellAt(QPoint position)
{
    // A line belongs to the cell before it; the outer lines belong to none.
    const auto index = [](int coordinate) {
        return coordinate >= LineWidth && coordinate < Side - LineWidth ? (coordinate - LineWidth) / DefaultPitch : -1;
    };
    const int column = index(position.x());
    const int row = index(position.y());
    if (column < 0 || row < 0)
        return {-1, -1};
    return {column, row};
}

void GobangGrid::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    // Cells count from behind the outer line, so a stone's box is its cell and the line after it. The lines
    // are drawn last: no stone and no erased cell breaks them.
    painter.translate(LineWidth, LineWidth);
    for (int column = 0; column < Cells; ++column) {
        for (int row = 0; row < Cells; ++row)
            DrawGrid_GobangDrawCell(painter, column, row);
    }
    painter.resetTransform();
    painter.setPen(LineColour);
    for (int i = 0; i <= Cells; ++i) {
        const int at = i * DefaultPitch;
        painter.drawLine(at, 0, at, Side - 1);
        painter.drawLine(0, at, Side - 1, at);
    }
}

void GobangGrid::DrawGrid_GobangDrawCell(QPainter &painter, int column, int row) const
{
    const int c = CellPitch;
    const QColor black(0, 0, 0);
    const QColor white(255, 255, 255);
    const auto colours = [&](const QColor &colour) {
        painter.setPen(colour);
        painter.setBrush(colour);
    };
    const auto mark = [&] {
        lineTo(painter, LastCol * c + c / 3, LastRow * c + c / 2, LastCol * c + c - c / 3, LastRow * c + c / 2);
        lineTo(painter, LastCol * c + c / 2, LastRow * c + c / 3, LastCol * c + c / 2, LastRow * c + c - c / 3);
    };
    colours(black);
    const bool last = column == LastCol && row == LastRow;
    const int left = column * c;
    const int top = row * c;
    switch (Board[column][row]) {
    case 1:
        ellipse(painter, left, top, left + c, top + c);
        if (last) {
            colours(white);
            mark();
        }
        break;
    case 2:
        painter.setBrush(Qt::NoBrush);
        ellipse(painter, left, top, left + c, top + c);
        if (last)
            mark();
        break;
    default:
        colours(white);
        ellipse(painter, left, top, left + c, top + c);
        break;
    }
}

void GobangGrid::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint cell = cellAt(event->position().toPoint());
    Q_EMIT pointerMoved(cell.x(), cell.y());
}

void GobangGrid::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint cell = cellAt(event->position().toPoint());
    if (cell.x() >= 0)
        Q_EMIT cellPressed(cell.x(), cell.y());
}
