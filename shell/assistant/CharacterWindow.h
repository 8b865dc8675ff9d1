#pragma once

#include "shell/character/Character.h"
#include "shell/character/FrameStepper.h"

#include <QImage>
#include <QQueue>
#include <QRegion>
#include <QTimer>
#include <QWidget>

#include <memory>

class QMenu;

// The character on the desktop: a window of the character's shape (transparent around it, clicks pass
// through the transparent parts), above other windows and outside the taskbar. It plays the animations
// it is asked for one after the other; between them it rests and now and then idles. It can be dragged,
// and its own menu lets the user hide it.
class CharacterWindow : public QWidget
{
    Q_OBJECT

public:
    enum class Cause { Program, User };
    Q_ENUM(Cause)

    static constexpr int MaxRequests = 32;
    static constexpr int ShortestFrameMs = 10;

    explicit CharacterWindow(FrameStepper stepper = FrameStepper(), QWidget *parent = nullptr);
    ~CharacterWindow() override;

    void setCharacter(std::shared_ptr<const Character> character);
    const Character *character() const { return m_character.get(); }

    // Shows the window with the showing animation; nothing happens when it is shown already.
    void showCharacter(Cause cause = Cause::Program);
    // Plays the hiding animation, then hides the window.
    void hideCharacter(Cause cause = Cause::Program);
    // Shown, or showing: false from the moment a hide is asked for.
    bool isCharacterShown() const { return m_shown; }
    // Queues an animation by name; false when the character has none of that name or the queue is full.
    bool play(const QString &name);
    // While speaking, the character plays its speaking animation whenever nothing else is asked of it.
    void setSpeaking(bool speaking);
    // Leaves animations asked for but not started yet.
    void clearRequests();

    QString animationName() const;
    int frameIndex() const { return m_frame; }
    QImage frameImage() const { return m_image; }
    // The idle pause, so that tests need not wait for it.
    void setIdleInterval(int minimumMs, int maximumMs);

Q_SIGNALS:
    void characterShown(CharacterWindow::Cause cause);
    void characterHidden(CharacterWindow::Cause cause);
    void animationStarted(const QString &name);
    // A frame that starts one of the character's sounds has come up.
    void soundCue(int sound);
    void moved(const QRect &frame);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void moveEvent(QMoveEvent *event) override;

private:
    enum class Kind { Request, Return, Rest, Idle, Speaking, Showing, Hiding };

    int findAnimation(const QString &name) const;
    int stateAnimation(const QString &state, const QStringList &fallbacks, bool random) const;
    void start(int animation, Kind kind);
    void startNext();
    void step();
    void ended();
    void interrupt();
    void showFrame();
    void rest();
    void scheduleIdle();
    void finishHiding();
    void keepOnTop();

    std::shared_ptr<const Character> m_character;
    FrameStepper m_stepper;
    QQueue<int> m_requests;
    int m_animation = -1;
    Kind m_kind = Kind::Rest;
    int m_frame = 0;
    int m_steps = 0; // frames played of the current animation
    bool m_exiting = false;
    int m_exitSteps = 0; // frames played since the exit began
    bool m_shown = false;
    bool m_speaking = false;
    Cause m_hideCause = Cause::Program;
    QImage m_image;
    QRegion m_shape;
    QTimer m_frameTimer;
    QTimer m_idleTimer;
    int m_idleMinMs = 6000;
    int m_idleMaxMs = 14000;
    QPoint m_dragOffset;
    bool m_dragging = false;
    QMenu *m_menu = nullptr;
};
