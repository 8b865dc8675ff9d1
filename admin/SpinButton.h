#pragma once

#include <QWidget>

class QToolButton;

// Two small arrow buttons on top of each other that step through something; they only report clicks.
class SpinButton final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SpinButton)

public:
    explicit SpinButton(QWidget *parent = nullptr);

    QToolButton *upButton() const { return m_up; }
    QToolButton *downButton() const { return m_down; }

Q_SIGNALS:
    void upClicked();
    void downClicked();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QToolButton *m_up;
    QToolButton *m_down;
};
