#include "shell/assistant/CharacterWindow.h"

#include <QBitmap>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QRandomGenerator>

namespace {
// Animations that loop by their branches are let out after this many rounds when others are waiting,
// and after this many frames in any case (a played animation has no one to stop it).
constexpr int RoundsBeforeYielding = 1;
constexpr int MostFramesPerPlay = 2000;
} // namespace

CharacterWindow::CharacterWindow(FrameStepper stepper, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::X11BypassWindowManagerHint |
                          Qt::WindowDoesNotAcceptFocus),
      m_stepper(std::move(stepper))
{
    setObjectName(QStringLiteral("characterWindow"));
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    m_frameTimer.setSingleShot(true);
    m_idleTimer.setSingleShot(true);
    connect(&m_frameTimer, &QTimer::timeout, this, &CharacterWindow::step);
    connect(&m_idleTimer, &QTimer::timeout, this, [this] {
        if (!m_shown || m_kind != Kind::Rest)
            return;
        const int idle = stateAnimation(QStringLiteral("IDLINGLEVEL1"), {QStringLiteral("Idle1_1")}, true);
        if (idle >= 0)
            start(idle, Kind::Idle);
    });

    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("characterMenu"));
    QAction *hide = m_menu->addAction(QStringLiteral("隱藏"));
    hide->setObjectName(QStringLiteral("hideAction"));
    connect(hide, &QAction::triggered, this, [this] { hideCharacter(Cause::User); });
}

CharacterWindow::~CharacterWindow() = default;

void CharacterWindow::setCharacter(std::shared_ptr<const Character> character)
{
    m_frameTimer.stop();
    m_idleTimer.stop();
    m_requests.clear();
    m_animation = -1;
    m_kind = Kind::Rest;
    m_shown = false;
    m_speaking = false;
    QWidget::hide();
    m_character = std::move(character);
    m_image = QImage();
    if (!m_character)
        return;
    resize(m_character->width, m_character->height);
    // The resting pose gives the window its shape before it first shows.
    int first = findAnimation(QStringLiteral("RestPose"));
    if (first < 0 && !m_character->animations.isEmpty())
        first = 0;
    if (first >= 0 && !m_character->animations.at(first).frames.isEmpty()) {
        m_animation = first;
        m_frame = 0;
        showFrame();
    }
}

int CharacterWindow::findAnimation(const QString &name) const
{
    if (!m_character)
        return -1;
    const CharacterAnimation *found = m_character->animation(name);
    return found ? int(found - m_character->animations.constData()) : -1;
}

int CharacterWindow::stateAnimation(const QString &state, const QStringList &fallbacks, bool random) const
{
    if (!m_character)
        return -1;
    QStringList names = m_character->stateAnimations(state);
    if (names.isEmpty())
        names = fallbacks;
    QList<int> found;
    for (const QString &name : std::as_const(names)) {
        if (const int index = findAnimation(name); index >= 0 && !m_character->animations.at(index).frames.isEmpty())
            found.append(index);
    }
    if (found.isEmpty())
        return -1;
    return random ? found.at(QRandomGenerator::global()->bounded(int(found.size()))) : found.first();
}

QString CharacterWindow::animationName() const
{
    if (!m_character || m_animation < 0)
        return {};
    return m_character->animations.at(m_animation).name;
}

void CharacterWindow::setIdleInterval(int minimumMs, int maximumMs)
{
    m_idleMinMs = std::max(0, minimumMs);
    m_idleMaxMs = std::max(m_idleMinMs, maximumMs);
}

void CharacterWindow::showCharacter(Cause cause)
{
    if (!m_character || m_shown)
        return;
    m_shown = true;
    m_requests.clear();
    m_idleTimer.stop();
    show();
    keepOnTop();
    Q_EMIT characterShown(cause);
    const int showing =
        stateAnimation(QStringLiteral("SHOWING"), {QStringLiteral("Showing"), QStringLiteral("Show")}, false);
    if (showing >= 0)
        start(showing, Kind::Showing);
    else
        startNext();
}

void CharacterWindow::hideCharacter(Cause cause)
{
    if (!m_character || !m_shown)
        return;
    m_shown = false;
    m_hideCause = cause;
    m_requests.clear();
    m_idleTimer.stop();
    const int hiding =
        stateAnimation(QStringLiteral("HIDING"), {QStringLiteral("Hiding"), QStringLiteral("Hide")}, false);
    if (hiding >= 0 && isVisible())
        start(hiding, Kind::Hiding);
    else
        finishHiding();
}

bool CharacterWindow::play(const QString &name)
{
    const int index = findAnimation(name);
    if (index < 0 || m_character->animations.at(index).frames.isEmpty() || m_requests.size() >= MaxRequests)
        return false;
    // A hidden character has nothing to show; the request is taken and left.
    if (!m_shown)
        return true;
    m_requests.enqueue(index);
    interrupt();
    return true;
}

void CharacterWindow::clearRequests()
{
    m_requests.clear();
}

void CharacterWindow::setSpeaking(bool speaking)
{
    m_speaking = speaking;
    if (speaking && m_shown && m_kind == Kind::Rest)
        startNext();
    else if (!speaking && m_kind == Kind::Speaking)
        m_exiting = true;
}

void CharacterWindow::interrupt()
{
    if (m_kind == Kind::Rest) {
        startNext();
    } else if (m_kind == Kind::Idle || m_kind == Kind::Speaking || m_kind == Kind::Return) {
        m_exiting = true;
    }
}

void CharacterWindow::start(int animation, Kind kind)
{
    m_idleTimer.stop();
    m_frameTimer.stop();
    m_animation = animation;
    m_kind = kind;
    m_frame = 0;
    m_steps = 0;
    m_exiting = false;
    m_exitSteps = 0;
    keepOnTop();
    Q_EMIT animationStarted(animationName());
    showFrame();
    m_frameTimer.start(std::max(m_character->animations.at(animation).frames.at(0).duration * 10, ShortestFrameMs));
}

void CharacterWindow::startNext()
{
    if (!m_shown)
        return;
    if (!m_requests.isEmpty())
        return start(m_requests.dequeue(), Kind::Request);
    if (m_speaking) {
        const int speaking = stateAnimation(QStringLiteral("SPEAKING"), {QStringLiteral("Speaking")}, false);
        if (speaking >= 0)
            return start(speaking, Kind::Speaking);
    }
    rest();
}

void CharacterWindow::rest()
{
    const int pose = findAnimation(QStringLiteral("RestPose"));
    if (pose >= 0 && !m_character->animations.at(pose).frames.isEmpty()) {
        start(pose, Kind::Rest);
        return;
    }
    m_frameTimer.stop();
    m_animation = -1;
    m_kind = Kind::Rest;
    scheduleIdle();
}

void CharacterWindow::scheduleIdle()
{
    m_idleTimer.start(m_idleMinMs + QRandomGenerator::global()->bounded(m_idleMaxMs - m_idleMinMs + 1));
}

void CharacterWindow::step()
{
    if (!m_character || m_animation < 0)
        return;
    const CharacterAnimation &animation = m_character->animations.at(m_animation);
    const int count = int(animation.frames.size());
    ++m_steps;
    // Looping animations give way to waiting requests after a round, and to nothing after a bound.
    if (!m_exiting && m_kind != Kind::Speaking && m_kind != Kind::Hiding &&
        ((!m_requests.isEmpty() && m_steps >= RoundsBeforeYielding * count) || m_steps >= MostFramesPerPlay))
        m_exiting = true;
    if (m_exiting && ++m_exitSteps > count)
        return ended(); // exit branches of a damaged file may go round in a circle
    const int next = m_stepper.next(animation, m_frame, m_exiting);
    if (next == FrameStepper::Ended)
        return ended();
    m_frame = next;
    showFrame();
    m_frameTimer.start(std::max(animation.frames.at(next).duration * 10, ShortestFrameMs));
}

void CharacterWindow::ended()
{
    m_frameTimer.stop();
    const CharacterAnimation &animation = m_character->animations.at(m_animation);
    switch (m_kind) {
    case Kind::Hiding:
        return finishHiding();
    case Kind::Rest:
        // The resting pose stays on its last frame until something happens.
        if (m_requests.isEmpty() && !m_speaking)
            return scheduleIdle();
        break;
    case Kind::Request:
        // Genuine characters lead many animations back to the resting pose through a return animation.
        if (!m_exiting && animation.transition == CharacterAnimation::ReturnAnimation) {
            const int back = findAnimation(animation.returnAnimation);
            if (back >= 0 && back != m_animation && !m_character->animations.at(back).frames.isEmpty())
                return start(back, Kind::Return);
        }
        break;
    default:
        break;
    }
    startNext();
}

void CharacterWindow::finishHiding()
{
    m_frameTimer.stop();
    m_idleTimer.stop();
    m_kind = Kind::Rest;
    hide();
    Q_EMIT characterHidden(m_hideCause);
}

void CharacterWindow::showFrame()
{
    const CharacterFrame &frame = m_character->animations.at(m_animation).frames.at(m_frame);
    if (frame.sound >= 0 && isVisible())
        Q_EMIT soundCue(frame.sound);
    // Frames that only play a sound draw nothing; the character keeps its last picture.
    if (frame.images.isEmpty() && !m_image.isNull())
        return;
    m_image = m_character->composeFrame(frame);
    // Clicks fall through where the character is transparent. An empty region would remove the shape.
    QRegion shape(QBitmap::fromImage(m_image.createAlphaMask()));
    if (shape.isEmpty())
        shape = QRegion(0, 0, 1, 1);
    if (shape != m_shape) {
        m_shape = shape;
        setMask(m_shape);
    }
    update();
}

void CharacterWindow::keepOnTop()
{
    // No window manager keeps a window that bypasses it above the others; the character climbs back up
    // whenever it starts an animation, which it does every few seconds.
    if (isVisible() && QGuiApplication::platformName() == QLatin1String("xcb"))
        raise();
}

void CharacterWindow::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(rect(), Qt::transparent);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.drawImage(0, 0, m_image);
}

void CharacterWindow::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragging = true;
        m_dragOffset = event->globalPosition().toPoint() - pos();
    }
    QWidget::mousePressEvent(event);
}

void CharacterWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - m_dragOffset);
}

void CharacterWindow::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_dragging = false;
}

void CharacterWindow::contextMenuEvent(QContextMenuEvent *event)
{
    m_menu->popup(event->globalPos());
}

void CharacterWindow::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    Q_EMIT moved(frameGeometry());
}
