#pragma once

#include <QStringList>
#include <QTimer>
#include <QWidget>

// The credits window opened from the menu's banner: the names of the makers drift slowly upwards.
// One at a time (the console opens it through its window registry); it deletes itself when closed.
class TForm_AboutMoravik final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TForm_AboutMoravik)

public:
    static constexpr int StepMs = 40;

    explicit TForm_AboutMoravik(QWidget *parent = nullptr);
    ~TForm_AboutMoravik() override;

    static QStringList credits();
    int scrollOffset() const { return m_offset; }
    // One step of the scroll; the timer calls it, tests may too.
    void Timer_ScrollTimer();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    int lineHeight() const;

    QTimer m_scroll;
    QStringList m_lines;
    int m_offset = 0;
};
