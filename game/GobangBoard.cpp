#include "game/GobangBoard.h"

#include <algorithm>

QString GobangBoard::coordinateName(int column, int row)
{
    return QChar(char16_t(65 + column)) + QString::number(row + 1);
}

GobangBoard::Stone GobangBoard::at(int column, int row) const
{
    return onBoard(column, row) ? m_cells[column][row] : Empty;
}

GobangBoard::MoveError GobangBoard::check(Stone colour, int moveNumber, int column, int row) const
{
    if (finished())
        return MoveError::GameOver;
    if (colour != toMove())
        return MoveError::WrongTurn;
    if (moveNumber != nextMoveNumber())
        return MoveError::WrongNumber;
    if (!onBoard(column, row))
        return MoveError::OffBoard;
    if (m_cells[column][row] != Empty)
        return MoveError::Occupied;
    return MoveError::None;
}

GobangBoard::MoveError GobangBoard::play(Stone colour, int moveNumber, int column, int row)
{
    const MoveError error = check(colour, moveNumber, column, row);
    if (error != MoveError::None)
        return error;
    m_cells[column][row] = colour;
    ++m_moveCount;
    m_lastColumn = column;
    m_lastRow = row;
    // Only a line through the new stone can have become five: every earlier move was checked the same way.
    if (longestLineThrough(column, row) >= WinningLength)
        m_winner = colour;
    return MoveError::None;
}

int GobangBoard::runFrom(int column, int row, int stepColumn, int stepRow, Stone colour) const
{
    int length = 0;
    for (int c = column + stepColumn, r = row + stepRow; at(c, r) == colour && onBoard(c, r);
         c += stepColumn, r += stepRow)
        ++length;
    return length;
}

int GobangBoard::longestLineThrough(int column, int row) const
{
    const Stone colour = at(column, row);
    if (colour == Empty)
        return 0;
    static constexpr int directions[4][2] = {{1, 0}, {0, 1}, {1, 1}, {1, -1}};
    int longest = 0;
    for (const auto &d : directions) {
        const int length = 1 + runFrom(column, row, d[0], d[1], colour) + runFrom(column, row, -d[0], -d[1], colour);
        longest = std::max(longest, length);
    }
    return longest;
}
