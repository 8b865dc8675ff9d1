#pragma once

#include <QWidget>

#include <array>

// The board's grid `DrawGrid_Gobang`: 14 × 14 cells of 16 pixels between 1-pixel lines, on white. Every cell
// is painted from its value alone: 1 a black stone, 2 a white one, anything else nothing, and the stone at
// (LastCol, LastRow) carries the last-move mark.
class GobangGrid final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(GobangGrid)

public:
    static constexpr int Cells = 14;
    static constexpr int CellSize = 16;
    static constexpr int LineWidth = 1;
    // The pitch of cells and lines.
    static constexpr int DefaultPitch = CellSize + LineWidth;
    static constexpr int Side = Cells * CellSize + (Cells + 1) * LineWidth; // 239

    explicit GobangGrid(QWidget *parent = nullptr);

    // Any value is kept; only 1 and 2 draw a stone.
    int cell(int column, int row) const { return Board[column][row]; }
    void setCell(int column, int row, int value);
    void clearCells();
    int lastColumn() const { return LastCol; }
    int lastRow() const { return LastRow; }
    void setLastMove(int column, int row);
    int cellPitch() const { return CellPitch; }

    // The cell under a point of the grid, or (-1, -1) for both where there is none.
    static QPoint cellAt(QPoint position);

Q_SIGNALS:
    void cellPressed(int column, int row);
    // The pointer moved over the board; (-1, -1) where it is over no cell.
    void pointerMoved(int column, int row);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    void DrawGrid_GobangDrawCell(QPainter &painter, int column, int row) const;

    int CellPitch = DefaultPitch;
    int LastCol = 0;
    int LastRow = 0;
    std::array<std::array<int, Cells>, Cells> Board{}; // [column][row]
};
