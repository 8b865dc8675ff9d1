#include "game/GobangBoard.h"

#include <QTest>

using Stone = GobangBoard::Stone;
using MoveError = GobangBoard::MoveError;
using Cells = QList<QPoint>; // x = column, y = row

Q_DECLARE_METATYPE(Cells)

namespace {

// Plays black's cells and white's cells alternately, black first, each move checked; stops early when the
// game ends. True when every move was accepted.
bool playOut(GobangBoard &board, const Cells &black, const Cells &white)
{
    for (qsizetype i = 0; i < black.size(); ++i) {
        if (board.play(Stone::Black, board.nextMoveNumber(), black[i].x(), black[i].y()) != MoveError::None)
            return false;
        if (board.finished() || i >= white.size())
            continue;
        if (board.play(Stone::White, board.nextMoveNumber(), white[i].x(), white[i].y()) != MoveError::None)
            return false;
    }
    return true;
}

Cells line(int column, int row, int stepColumn, int stepRow, int count)
{
    Cells cells;
    for (int i = 0; i < count; ++i)
        cells << QPoint(column + i * stepColumn, row + i * stepRow);
    return cells;
}

// White's answers, scattered so that they never line up nor block black's lines in the cases below.
const Cells scatteredWhite{{13, 6}, {11, 9}, {8, 13}, {13, 12}, {10, 11}, {12, 2}};

} // namespace

class TestGameRules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fiveInARow_data()
    {
        QTest::addColumn<Cells>("black");
        QTest::addColumn<bool>("wins");
        QTest::addColumn<int>("longest");

        QTest::newRow("row") << line(2, 4, 1, 0, 5) << true << 5;
        QTest::newRow("column") << line(3, 1, 0, 1, 5) << true << 5;
        QTest::newRow("diagonal down right") << line(1, 2, 1, 1, 5) << true << 5;
        QTest::newRow("diagonal up right") << line(0, 8, 1, -1, 5) << true << 5;
        QTest::newRow("bottom edge row to the corner") << line(9, 13, 1, 0, 5) << true << 5;
        QTest::newRow("right edge column from the top") << line(13, 0, 0, 1, 5) << true << 5;
        QTest::newRow("corner to corner diagonal") << line(9, 9, 1, 1, 5) << true << 5;
        QTest::newRow("anti-diagonal into the bottom left") << line(4, 9, -1, 1, 5) << true << 5;
        // The last stone fills the gap between a three and a two: six in all.
        QTest::newRow("six by joining") << (line(0, 5, 1, 0, 3) + line(4, 5, 1, 0, 2) + Cells{{3, 5}}) << true << 6;
        // Four and two with the gap filled last: seven on a diagonal.
        QTest::newRow("seven on a diagonal")
            << (line(0, 0, 1, 1, 4) + line(5, 5, 1, 1, 2) + Cells{{4, 4}}) << true << 7;
        QTest::newRow("four only") << line(5, 5, 1, 0, 4) << false << 4;
        QTest::newRow("four and one with a gap") << (line(0, 3, 1, 0, 4) + Cells{{5, 3}}) << false << 1;
        QTest::newRow("bent line") << (line(2, 2, 1, 0, 3) + line(4, 3, 0, 1, 2)) << false << 3;
        // Does not wrap from the right edge onto the next row.
        QTest::newRow("no wrap across the edge") << (line(11, 7, 1, 0, 3) + line(0, 8, 1, 0, 2)) << false << 2;
    }
    void fiveInARow()
    {
        QFETCH(Cells, black);
        QFETCH(bool, wins);
        QFETCH(int, longest);
        GobangBoard board;
        QVERIFY(playOut(board, black, scatteredWhite));
        QCOMPARE(board.winner(), wins ? Stone::Black : Stone::Empty);
        QCOMPARE(board.finished(), wins);
        QCOMPARE(board.longestLineThrough(black.last().x(), black.last().y()), longest);
        if (wins) {
            QCOMPARE(board.lastColumn(), black.last().x());
            QCOMPARE(board.lastRow(), black.last().y());
        }
    }

    void whiteWinsAndABlockedLineDoesNot()
    {
        GobangBoard board;
        // Black's row is cut by a white stone; white builds a column meanwhile.
        const Cells black{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {5, 0}};
        const Cells white{{4, 0}, {4, 1}, {4, 2}, {4, 3}, {4, 4}};
        QVERIFY(playOut(board, black, white));
        QCOMPARE(board.winner(), Stone::White);
        QCOMPARE(board.moveCount(), 10);
        QCOMPARE(board.longestLineThrough(4, 4), 5);
        QCOMPARE(board.longestLineThrough(0, 0), 4);
        QCOMPARE(board.longestLineThrough(13, 13), 0);
    }

    void moveValidation()
    {
        GobangBoard board;
        QCOMPARE(board.toMove(), Stone::Black);
        QCOMPARE(board.play(Stone::White, 1, 0, 0), MoveError::WrongTurn);
        QCOMPARE(board.play(Stone::Black, 2, 0, 0), MoveError::WrongNumber);
        QCOMPARE(board.play(Stone::Black, 0, 0, 0), MoveError::WrongNumber);
        QCOMPARE(board.play(Stone::Black, 1, -1, 0), MoveError::OffBoard);
        QCOMPARE(board.play(Stone::Black, 1, 0, 14), MoveError::OffBoard);
        QCOMPARE(board.play(Stone::Black, 1, 14, 13), MoveError::OffBoard);
        QCOMPARE(board.play(Stone::Empty, 1, 3, 3), MoveError::WrongTurn);
        QCOMPARE(board.moveCount(), 0);
        QCOMPARE(board.lastColumn(), -1);

        QCOMPARE(board.play(Stone::Black, 1, 13, 13), MoveError::None);
        QCOMPARE(board.at(13, 13), Stone::Black);
        QCOMPARE(board.toMove(), Stone::White);
        QCOMPARE(board.play(Stone::Black, 2, 0, 0), MoveError::WrongTurn);
        QCOMPARE(board.play(Stone::White, 1, 0, 0), MoveError::WrongNumber);
        QCOMPARE(board.play(Stone::White, 2, 13, 13), MoveError::Occupied);
        QCOMPARE(board.at(13, 13), Stone::Black);
        QCOMPARE(board.play(Stone::White, 2, 0, 13), MoveError::None);
        QCOMPARE(board.at(0, 13), Stone::White);
        QCOMPARE(board.at(14, 0), Stone::Empty);
        QCOMPARE(board.at(-1, -1), Stone::Empty);
        QCOMPARE(board.lastColumn(), 0);
        QCOMPARE(board.lastRow(), 13);

        // Nothing more after a win.
        QVERIFY(playOut(board, line(0, 1, 1, 0, 5), scatteredWhite));
        QCOMPARE(board.winner(), Stone::Black);
        const int moves = board.moveCount();
        QCOMPARE(board.play(board.toMove(), board.nextMoveNumber(), 7, 7), MoveError::GameOver);
        QCOMPARE(board.moveCount(), moves);
        board.clear();
        QCOMPARE(board.moveCount(), 0);
        QCOMPARE(board.at(0, 13), Stone::Empty);
    }

    void fullBoardIsADraw()
    {
        // Pairs of columns alternate along a row and each row shifts by one: no line longer than two anywhere.
        Cells black;
        Cells white;
        for (int row = 0; row < GobangBoard::Size; ++row) {
            for (int column = 0; column < GobangBoard::Size; ++column)
                ((column / 2 + row) % 2 == 0 ? black : white) << QPoint(column, row);
        }
        QCOMPARE(black.size(), white.size());
        GobangBoard board;
        QVERIFY(playOut(board, black, white));
        QCOMPARE(board.moveCount(), GobangBoard::CellCount);
        QVERIFY(board.drawn());
        QVERIFY(board.finished());
        QCOMPARE(board.winner(), Stone::Empty);
    }

    void coordinateNames()
    {
        QCOMPARE(GobangBoard::coordinateName(0, 0), QStringLiteral("A1"));
        QCOMPARE(GobangBoard::coordinateName(13, 13), QStringLiteral("N14"));
        QCOMPARE(GobangBoard::coordinateName(7, 9), QStringLiteral("H10"));
        QCOMPARE(GobangBoard::coordinateName(-1, -1), QStringLiteral("@0"));
    }
};

QTEST_GUILESS_MAIN(TestGameRules)
#include "tst_gamerules.moc"
