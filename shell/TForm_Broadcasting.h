#pragma once

#include <QByteArray>
#include <QPoint>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "richtext/PixelBudget.h"

class BroadcastBand;
class ObscurityWatch;
class QScrollArea;
class QSoundEffect;
class QTextEdit;
class QVBoxLayout;
class TickerAnimation;

// The broadcast ticker: a borderless strip at the top edge of the screen whose middle box scrolls the latest
// broadcast, with a list of every broadcast since it opened below it. With auto-hide on it slides above the
// screen edge, leaving one pixel row, and comes back when the pointer touches it.
class TForm_Broadcasting final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TForm_Broadcasting)

public:
    static constexpr int FormWidth = 218;
    static constexpr int RowHeight = 21;
    static constexpr int ListHeight = 126;
    static constexpr int ViewportWidth = 162;
    static constexpr int StripHeight = 17;
    static constexpr int MinimumStripWidth = 17;
    static constexpr int MagnetPixels = 15;
    static constexpr int MoveIntervalMs = 20;
    static constexpr int PictureIntervalMs = 100;
    // Any host can broadcast: the list keeps the newest bands only, and the strip the start of a long body.
    static constexpr int MaxBands = 100;
    static constexpr int MaxStripCharacters = 4096;
    // The pictures of all bands and of the strip share this many pixels; beyond it a picture shows as a
    // placeholder of its size until older bands leave and give theirs back.
    static constexpr qint64 PicturePixels = qint64(16) * 1024 * 1024;

    // autoHide reads the check mark of "自動隱藏" at the moment of each event.
    explicit TForm_Broadcasting(std::function<bool()> autoHide, QWidget *parent = nullptr);
    ~TForm_Broadcasting() override;

    // Fields 3, 4 and 5 of a broadcast: display name, "hh:mm", RTF body (all code page 950).
    void ShowBroadcast(const QByteArray &name, const QByteArray &time, const QByteArray &body);

    // The top at which only the bottom pixel row stays on the screen.
    int HiddenTop() const { return 1 - height(); }
    // The menu's "自動隱藏" changed: hide or reveal a ticker that stands at the top edge.
    void autoHideSwitched(bool on);

    // One step of Timer_Move; public so tests can drive the clock.
    void Timer_MoveTimer();
    void Panel1Click();

    bool listOpen() const { return height() > RowHeight; }
    int bandCount() const;
    QWidget *strip() const { return m_strip; }
    int tickerLeft() const { return TickerLeft; }
    bool tickerDragging() const { return TickerDragging; }
    bool movingWindow() const { return m_movingWindow; }
    QTimer *moveTimer() { return &m_moveTimer; }
    QTimer *pictureTimer() { return &m_pictureTimer; }
    // Whether a person could see the strip: the window shown, not minimised or unmapped, and the strip's box on
    // a screen (not slid above the top edge). Out of sight nothing scrolls or animates.
    bool stripInSight() const;
    // The greeting has gone round once and stands where it started; only a broadcast or a drag moves it again.
    bool greetingAtRest() const { return m_greetingAtRest; }
    const PixelBudget &pictureBudget() const { return m_pictures; }

    // The RTF shown in the strip when the ticker opens: a small picture and "~~~Version II".
    static QByteArray greetingRtf();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void changeEvent(QEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildTopRow();
    void buildList();
    void setListOpen(bool open);
    void loadStrip(const QByteArray &body);
    void addBand(BroadcastBand *band);
    void dropOldestBand();
    int oneLineWidth() const;
    void play(QSoundEffect *&sound, const char *name);
    void stripPressed(int globalX);
    void stripMoved(int globalX);
    void stripReleased();
    QPoint magnet(QPoint topLeft) const;
    // Runs the scrolling and the pictures while they can be seen and stops them while they cannot.
    void updateMotion();

    std::function<bool()> m_autoHide;
    PixelBudget m_pictures;
    qint64 m_stripPicturePixels = 0;
    QTimer m_moveTimer;            // Timer_Move
    QTimer m_pictureTimer;         // both animated pictures, one frame a tick
    QWidget *m_viewport = nullptr; // Panel_Broadcasting
    QWidget *m_strip = nullptr;    // Panel_Move
    QTextEdit *m_stripView = nullptr;
    QWidget *m_list = nullptr; // XPTask_Broadcasting
    QScrollArea *m_scroll = nullptr;
    QVBoxLayout *m_bands = nullptr;
    QSoundEffect *m_foldSound = nullptr;
    QSoundEffect *m_openSound = nullptr;

    bool TickerDragging = false;
    int TickerDragX = 0;
    int TickerLeft = 0;

    bool m_shownBefore = false;
    bool m_exposed = true;
    ObscurityWatch *m_obscurity = nullptr;
    bool m_showingGreeting = false;
    bool m_greetingWrapped = false;
    bool m_greetingAtRest = false;
    bool m_movingWindow = false;
    QPoint m_moveOffset;
};
