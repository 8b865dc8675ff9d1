#pragma once

#include <QString>
#include <array>

// Five in a row on 14 x 14 cells: columns A to N from the left, rows 1 to 14 from the top, stones inside the
// cells. Black moves first, so move n is black's when n is odd; five or more stones of one colour in an
// unbroken row, column or diagonal win, and a full board without a five is a draw.
class GobangBoard
{
public:
    static constexpr int Size = 14;
    static constexpr int CellCount = Size * Size;
    static constexpr int WinningLength = 5;

    // Cell values as the board window draws them; any other value reads as empty.
    enum Stone : int { Empty = 0, Black = 1, White = 2 };

    enum class MoveError {
        None,
        GameOver,
        WrongTurn,
        WrongNumber, // not the next move number
        OffBoard,
        Occupied,
    };

    static bool onBoard(int column, int row) { return column >= 0 && column < Size && row >= 0 && row < Size; }
    static Stone colourOfMove(int moveNumber) { return moveNumber % 2 == 1 ? Black : White; }
    static Stone opponent(Stone colour) { return colour == Black ? White : Black; }
    // The read-out under the pointer: "A1" top left, "N14" bottom right; (-1, -1), no cell, gives "@0".
    static QString coordinateName(int column, int row);

    // Empty off the board.
    Stone at(int column, int row) const;
    int moveCount() const { return m_moveCount; }
    int nextMoveNumber() const { return m_moveCount + 1; }
    Stone toMove() const { return colourOfMove(nextMoveNumber()); }
    // The stone that carries the last-move mark; (-1, -1) before the first move.
    int lastColumn() const { return m_lastColumn; }
    int lastRow() const { return m_lastRow; }

    bool finished() const { return m_winner != Empty || m_moveCount == CellCount; }
    Stone winner() const { return m_winner; }
    bool drawn() const { return m_winner == Empty && m_moveCount == CellCount; }

    MoveError check(Stone colour, int moveNumber, int column, int row) const;
    // Places the stone when check() finds nothing wrong and returns what it found.
    MoveError play(Stone colour, int moveNumber, int column, int row);

    // The longest unbroken line through (column, row) of the stone that stands there; 0 on an empty cell.
    int longestLineThrough(int column, int row) const;

    void clear() { *this = GobangBoard(); }

private:
    int runFrom(int column, int row, int stepColumn, int stepRow, Stone colour) const;

    std::array<std::array<Stone, Size>, Size> m_cells{}; // [column][row]
    int m_moveCount = 0;
    int m_lastColumn = -1;
    int m_lastRow = -1;
    Stone m_winner = Empty;
};
