#pragma once

#include <QByteArray>
#include <QWidget>

class PixelBudget;
class QTextEdit;
class QToolButton;

// One broadcast in the ticker's list: a caption button ("昵稱:" name " 日期:" time) that folds the band to its
// caption and unfolds it again, and the body below it.
class BroadcastBand final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BroadcastBand)

public:
    static constexpr int LineHeight = 17;
    static constexpr int ExtraHeight = 35;

    // The body's pictures are charged to pictures, the ticker's budget.
    BroadcastBand(const QByteArray &name, const QByteArray &time, const QByteArray &body, int bodyWidth,
                  PixelBudget *pictures, QWidget *parent = nullptr);

    QString caption() const;
    int lineCount() const { return m_lines; }
    int unfoldedHeight() const { return LineHeight * m_lines + ExtraHeight; }
    bool folded() const { return m_folded; }
    void setFolded(bool folded);
    QTextEdit *view() const { return m_view; }
    // What the body's pictures were charged, to be given back when the band goes.
    qint64 picturePixels() const { return m_picturePixels; }

private:
    QToolButton *m_caption = nullptr;
    QTextEdit *m_view = nullptr;
    int m_lines = 1;
    qint64 m_picturePixels = 0;
    bool m_folded = false;
};
