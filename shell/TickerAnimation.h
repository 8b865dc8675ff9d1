#pragma once

#include <QWidget>

// The little animated picture of the ticker's two side boxes: 38 frames of 0.1 s, painted by the program
// (radio waves leaving a mast), drawn stretched into the widget's rectangle. It takes no mouse input, so
// presses reach the box behind it. It has no clock of its own: the ticker moves both of its pictures on with
// one timer, and only while they can be seen.
class TickerAnimation final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TickerAnimation)

public:
    static constexpr int FrameCount = 38;
    static constexpr int FrameMs = 100;

    TickerAnimation(int firstFrame, QWidget *parent = nullptr);
    int frame() const { return m_frame; }
    void advance();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_frame;
};
