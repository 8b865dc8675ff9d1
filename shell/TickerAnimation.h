#pragma once

#include <QTimer>
#include <QWidget>

// The little animated picture of the ticker's two side boxes: 38 frames of 0.1 s, painted by the program
// (radio waves leaving a mast), drawn stretched into the widget's rectangle. It takes no mouse input, so
// presses reach the box behind it.
class TickerAnimation final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TickerAnimation)

public:
    static constexpr int FrameCount = 38;
    static constexpr int FrameMs = 100;

    TickerAnimation(int firstFrame, QWidget *parent = nullptr);
    int frame() const { return m_frame; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QTimer m_timer;
    int m_frame;
};
