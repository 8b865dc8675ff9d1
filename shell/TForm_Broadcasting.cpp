#include "shell/TForm_Broadcasting.h"

#include "richtext/DibEncoder.h"
#include "richtext/HexText.h"
#include "richtext/MetafileWriter.h"
#include "richtext/RtfReader.h"
#include "shell/BroadcastBand.h"
#include "shell/ObscurityWatch.h"
#include "shell/TickerAnimation.h"

#include <QCursor>
#include <QFrame>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSoundEffect>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <cmath>

namespace {

// Beyond this a strip would only scroll for hours; the body is cut off at the right there.
constexpr int MaximumStripWidth = 1'000'000;

QFrame *sunkenBox(QWidget *parent, const QString &name, QRect geometry)
{
    auto *box = new QFrame(parent);
    box->setObjectName(name);
    box->setFrameShape(QFrame::Panel);
    box->setFrameShadow(QFrame::Sunken);
    box->setLineWidth(1);
    box->setGeometry(geometry);
    return box;
}

// The greeting's own 16 x 16 picture: a small loudspeaker sending a wave.
QImage greetingPicture()
{
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(230, 120, 30));
    p.drawPolygon(
        QPolygonF({QPointF(2, 6), QPointF(5, 6), QPointF(9, 2.5), QPointF(9, 13.5), QPointF(5, 10), QPointF(2, 10)}));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(40, 110, 210), 1.3));
    p.drawArc(QRectF(6, 4, 6, 8), -50 * 16, 100 * 16);
    p.drawArc(QRectF(5, 1.5, 10, 13), -50 * 16, 100 * 16);
    return image;
}

} // namespace

QByteArray TForm_Broadcasting::greetingRtf()
{
    const QImage picture = greetingPicture();
    QByteArray rtf("{\\rtf1\\ansi\\ansicpg950\\deff0\\deflang1033\\deflangfe1028{\\fonttbl{\\f0\\fnil\\fcharset136 "
                   "\\'b2\\'d3\\'a9\\'fa\\'c5\\'e9;}}{\\colortbl ;\\red0\\green0\\blue0;}\\viewkind4\\uc1\\pard\\cf1"
                   "\\lang1028\\f0\\fs22{\\pict\\wmetafile8\\picw423\\pich423\\picwgoal240\\pichgoal240 ");
    rtf.append("\r\n");
    HexText::append(rtf, MetafileWriter::stretchDib(DibEncoder::encode(picture), picture.size()),
                    HexText::LetterCase::Lower, 128);
    rtf.append("\r\n}\\lang1033 ~~~Version II\\lang1028\\par}");
    return rtf;
}

TForm_Broadcasting::TForm_Broadcasting(std::function<bool()> autoHide, QWidget *parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::Tool | Qt::WindowStaysOnTopHint), m_autoHide(std::move(autoHide)),
      m_pictures(PicturePixels, devicePixelRatioF())
{
    setObjectName(QStringLiteral("TForm_Broadcasting"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(QFont(QStringLiteral("細明體"), 10));
    setCursor(Qt::SizeAllCursor);
    setFixedSize(FormWidth, RowHeight);

    buildTopRow();
    buildList();

    // Both clocks run only while the strip can be seen (updateMotion), from the first showing on.
    m_moveTimer.setObjectName(QStringLiteral("Timer_Move"));
    m_moveTimer.setInterval(MoveIntervalMs);
    connect(&m_moveTimer, &QTimer::timeout, this, &TForm_Broadcasting::Timer_MoveTimer);
    m_pictureTimer.setInterval(PictureIntervalMs);
    for (TickerAnimation *picture : findChildren<TickerAnimation *>())
        connect(&m_pictureTimer, &QTimer::timeout, picture, &TickerAnimation::advance);
    // Covered whole by other windows (a full-screen program, a locked screen) it cannot be seen either.
    m_obscurity = new ObscurityWatch(this);
    connect(m_obscurity, &ObscurityWatch::obscuredChanged, this, &TForm_Broadcasting::updateMotion);
}

TForm_Broadcasting::~TForm_Broadcasting() = default;

void TForm_Broadcasting::buildTopRow()
{
    // Left box: the picture takes no input, so a press there reaches the window and moves it.
    QFrame *left = sunkenBox(this, QStringLiteral("Panel2"), QRect(0, 0, 26, RowHeight));
    left->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto *leftPicture = new TickerAnimation(28, left);
    leftPicture->setGeometry(2, 2, 22, 17);

    QFrame *middle = sunkenBox(this, QStringLiteral("Panel_3"), QRect(26, 0, 166, RowHeight));
    middle->setCursor(Qt::ArrowCursor);
    middle->setAutoFillBackground(true);
    middle->setPalette(QPalette(Qt::white));

    m_viewport = new QWidget(middle);
    m_viewport->setObjectName(QStringLiteral("Panel_Broadcasting"));
    m_viewport->setGeometry(2, 2, ViewportWidth, StripHeight);
    m_viewport->setAutoFillBackground(true);
    m_viewport->setPalette(QPalette(Qt::white));

    m_strip = new QWidget(m_viewport);
    m_strip->setObjectName(QStringLiteral("Panel_Move"));
    m_strip->setGeometry(0, 0, ViewportWidth, StripHeight);
    m_strip->setAutoFillBackground(true);
    m_strip->setPalette(QPalette(Qt::white));
    m_strip->installEventFilter(this);

    // The view ignores the mouse: presses go to the strip, which drags.
    auto *enabledPanel = new QWidget(m_strip);
    enabledPanel->setObjectName(QStringLiteral("Panel_Enabled"));
    enabledPanel->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_stripView = new QTextEdit(enabledPanel);
    m_stripView->setObjectName(QStringLiteral("RxRichEdit_Broadcasting"));
    m_stripView->setReadOnly(true);
    m_stripView->setFrameShape(QFrame::NoFrame);
    m_stripView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_stripView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_stripView->setLineWrapMode(QTextEdit::NoWrap);
    m_stripView->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_stripView->viewport()->setCursor(Qt::ArrowCursor);
    m_stripView->document()->setDocumentMargin(0);
    m_stripView->document()->setUndoRedoEnabled(false);

    QFrame *right = sunkenBox(this, QStringLiteral("Panel1"), QRect(192, 0, 26, RowHeight));
    right->setCursor(Qt::PointingHandCursor);
    right->installEventFilter(this);
    auto *rightPicture = new TickerAnimation(37, right);
    rightPicture->setGeometry(2, 2, 22, 17);
}

void TForm_Broadcasting::buildList()
{
    m_list = new QWidget(this);
    m_list->setObjectName(QStringLiteral("XPTask_Broadcasting"));
    m_list->setGeometry(0, RowHeight, FormWidth, ListHeight);
    m_list->setAutoFillBackground(true);
    m_list->setPalette(QPalette(QColor(234, 234, 234)));
    m_list->setCursor(Qt::ArrowCursor);

    m_scroll = new QScrollArea(m_list);
    m_scroll->setObjectName(QStringLiteral("JvScrollMax_Broadcasting"));
    m_scroll->setGeometry(1, 1, 216, 124);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_scroll->setWidgetResizable(true);
    auto *content = new QWidget;
    content->setAutoFillBackground(true);
    content->setPalette(QPalette(QColor(240, 202, 166)));
    m_bands = new QVBoxLayout(content);
    m_bands->setContentsMargins(0, 0, 0, 0);
    m_bands->setSpacing(1);
    m_bands->addStretch(1);
    m_scroll->setWidget(content);
}

int TForm_Broadcasting::bandCount() const
{
    return m_bands->count() - 1;
}

void TForm_Broadcasting::play(QSoundEffect *&sound, const char *name)
{
    // Made at the first press that needs it: a sound effect brings up the audio back-end, which a ticker
    // nobody touches never needs.
    if (!sound) {
        sound = new QSoundEffect(this);
        sound->setSource(QUrl(QStringLiteral("qrc:/sounds/%1.wav").arg(QLatin1String(name))));
    }
    // Fire and forget; without an audio device QSoundEffect stays silent.
    sound->play();
}

void TForm_Broadcasting::setListOpen(bool open)
{
    setFixedSize(FormWidth, open ? RowHeight + ListHeight : RowHeight);
}

void TForm_Broadcasting::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // A window manager's restore after a minimise shows the window again; placing it anew would undo the
    // user's move and the greeting would replace the latest broadcast.
    if (m_shownBefore) {
        m_obscurity->watch(winId());
        updateMotion();
        return;
    }
    m_shownBefore = true;
    setListOpen(false);
    play(m_foldSound, "SNF_001");
    const QRect screen = (this->screen() ? this->screen() : QGuiApplication::primaryScreen())->geometry();
    move(screen.width() - width() - 60, (m_autoHide && m_autoHide()) ? HiddenTop() : 0);
    loadStrip(greetingRtf());
    m_showingGreeting = true;
    // The greeting is a little wider than the box; a strip as wide as its text shows it whole as it passes.
    m_strip->setGeometry(0, 0, std::max(ViewportWidth, oneLineWidth()), StripHeight);
    TickerLeft = 0;
    // Expose events tell when the window system unmaps the window (minimised, another desktop).
    if (QWindow *handle = windowHandle())
        handle->installEventFilter(this);
    m_obscurity->watch(winId());
    updateMotion();
}

void TForm_Broadcasting::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    updateMotion();
}

void TForm_Broadcasting::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    updateMotion();
}

void TForm_Broadcasting::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        updateMotion();
}

bool TForm_Broadcasting::stripInSight() const
{
    if (!isVisible() || isMinimized() || !m_exposed || m_obscurity->isObscured())
        return false;
    const QRect box(m_viewport->mapToGlobal(QPoint(0, 0)), m_viewport->size());
    const QList<QScreen *> screens = QGuiApplication::screens();
    return std::any_of(screens.begin(), screens.end(),
                       [&box](const QScreen *screen) { return screen->geometry().intersects(box); });
}

void TForm_Broadcasting::updateMotion()
{
    const bool inSight = stripInSight();
    const bool scroll = inSight && !TickerDragging && !m_greetingAtRest;
    if (!scroll)
        m_moveTimer.stop();
    else if (!m_moveTimer.isActive())
        m_moveTimer.start();
    if (!inSight)
        m_pictureTimer.stop();
    else if (!m_pictureTimer.isActive())
        m_pictureTimer.start();
}

void TForm_Broadcasting::loadStrip(const QByteArray &body)
{
    QTextDocument *document = m_stripView->document();
    // Clearing the document lets go of its pictures.
    document->clear();
    m_pictures.refund(std::exchange(m_stripPicturePixels, 0));
    QTextCursor cursor(document);
    const qint64 spent = m_pictures.spent();
    RtfReader::insertText(cursor, body, &m_pictures);
    m_stripPicturePixels = m_pictures.spent() - spent;

    // Past this the strip would scroll for many minutes; laying out and joining more would only cost time.
    if (document->characterCount() > MaxStripCharacters) {
        QTextCursor tail(document);
        tail.setPosition(MaxStripCharacters);
        tail.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        tail.removeSelectedText();
    }

    // The strip is one line. A body of several paragraphs would never fit one, so its paragraphs and line
    // breaks are joined by a wide gap and the whole text scrolls past.
    static const QString gap(4, QLatin1Char(' '));
    for (QTextBlock block = document->lastBlock(); block.isValid() && block != document->firstBlock();
         block = block.previous()) {
        QTextCursor join(block);
        join.deletePreviousChar();
        join.insertText(gap);
    }
    QTextCursor breaks(document);
    while (!(breaks = document->find(QString(QChar::LineSeparator), breaks)).isNull())
        breaks.insertText(gap);
    m_stripView->moveCursor(QTextCursor::Start);
}

void TForm_Broadcasting::ShowBroadcast(const QByteArray &name, const QByteArray &time, const QByteArray &body)
{
    // The viewport's own width is only settled once the list has been shown; compute it instead.
    const int bodyWidth = m_scroll->width() - m_scroll->verticalScrollBar()->sizeHint().width();
    addBand(new BroadcastBand(name, time, body, bodyWidth, &m_pictures));

    m_moveTimer.stop();
    loadStrip(body);
    m_showingGreeting = false;
    m_greetingAtRest = false;
    m_strip->setGeometry(-ViewportWidth, 0, std::max(MinimumStripWidth, oneLineWidth()), StripHeight);
    TickerLeft = -ViewportWidth;
    // Out of sight the strip waits at its start and scrolls from there once it can be seen.
    updateMotion();
}

void TForm_Broadcasting::addBand(BroadcastBand *band)
{
    m_bands->insertWidget(m_bands->count() - 1, band);
    while (bandCount() > MaxBands)
        dropOldestBand();
}

void TForm_Broadcasting::dropOldestBand()
{
    QLayoutItem *item = m_bands->takeAt(0);
    if (auto *band = qobject_cast<BroadcastBand *>(item->widget()))
        m_pictures.refund(band->picturePixels());
    delete item->widget();
    delete item;
}

// One measurement of the unwrapped text instead of widening the strip pixel by pixel until it fits one line.
int TForm_Broadcasting::oneLineWidth() const
{
    const double ideal = m_stripView->document()->idealWidth();
    return std::min(int(std::ceil(ideal)) + 1, MaximumStripWidth);
}

void TForm_Broadcasting::Timer_MoveTimer()
{
    int left = m_strip->x();
    if (left < -m_strip->width()) {
        left = ViewportWidth;
        m_greetingWrapped = m_showingGreeting;
    } else {
        left -= 1;
    }
    m_strip->move(left, 0);
    TickerLeft = left;
    // Once round, the greeting stands where it started: scrolling it again would show nothing new, and a
    // program idling in the tray all day should not repaint 50 times a second for it.
    if (m_showingGreeting && m_greetingWrapped && left == 0) {
        m_greetingAtRest = true;
        updateMotion();
    }
}

void TForm_Broadcasting::Panel1Click()
{
    if (listOpen()) {
        setListOpen(false);
        play(m_foldSound, "SNF_001");
    } else if (bandCount() > 0) {
        setListOpen(true);
        play(m_openSound, "SNF_005");
    }
}

void TForm_Broadcasting::autoHideSwitched(bool on)
{
    if (on && y() == 0)
        move(x(), HiddenTop());
    else if (!on && y() == HiddenTop())
        move(x(), 0);
    updateMotion();
}

void TForm_Broadcasting::stripPressed(int globalX)
{
    TickerDragX = globalX;
    m_moveTimer.stop();
    TickerDragging = true;
    // A dragged greeting goes round once more after the release.
    m_greetingAtRest = false;
    m_greetingWrapped = false;
}

void TForm_Broadcasting::stripMoved(int globalX)
{
    if (!TickerDragging)
        return;
    TickerLeft += globalX - TickerDragX;
    TickerDragX = globalX;
    if (TickerLeft < -m_strip->width())
        TickerLeft = ViewportWidth;
    else if (TickerLeft > ViewportWidth)
        TickerLeft = -m_strip->width();
    m_strip->move(TickerLeft, 0);
}

void TForm_Broadcasting::stripReleased()
{
    TickerDragging = false;
    updateMotion();
}

bool TForm_Broadcasting::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == windowHandle() && event->type() == QEvent::Expose) {
        m_exposed = windowHandle()->isExposed();
        updateMotion();
    } else if (watched == m_strip) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            stripPressed(qRound(static_cast<QMouseEvent *>(event)->globalPosition().x()));
            return true;
        case QEvent::MouseMove:
            stripMoved(qRound(static_cast<QMouseEvent *>(event)->globalPosition().x()));
            return true;
        case QEvent::MouseButtonRelease:
            stripReleased();
            return true;
        default:
            break;
        }
    } else if (watched->objectName() == QLatin1String("Panel1")) {
        // The button keeps its presses and drags to itself: passed on, they would move the whole window.
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
            return true;
        case QEvent::MouseButtonRelease: {
            auto *mouse = static_cast<QMouseEvent *>(event);
            if (mouse->button() == Qt::LeftButton &&
                static_cast<QWidget *>(watched)->rect().contains(mouse->position().toPoint()))
                Panel1Click();
            return true;
        }
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

QPoint TForm_Broadcasting::magnet(QPoint topLeft) const
{
    const QScreen *s = screen() ? screen() : QGuiApplication::primaryScreen();
    const QRect work = s->availableGeometry();
    QRect r(topLeft, size());
    if (std::abs(r.left() - work.left()) <= MagnetPixels)
        r.moveLeft(work.left());
    else if (std::abs(r.right() - work.right()) <= MagnetPixels)
        r.moveRight(work.right());
    if (std::abs(r.top() - work.top()) <= MagnetPixels)
        r.moveTop(work.top());
    else if (std::abs(r.bottom() - work.bottom()) <= MagnetPixels)
        r.moveBottom(work.bottom());
    return r.topLeft();
}

// Presses that reach the window itself (the left box passes them on) move it, with the magnet at the edges.
// A press some box ignored and Qt passed up still belongs to that box.
void TForm_Broadcasting::mousePressEvent(QMouseEvent *event)
{
    // Every press decides anew, so a move whose release went astray cannot carry on with a later drag.
    m_movingWindow = event->button() == Qt::LeftButton && !childAt(event->position().toPoint());
    m_moveOffset = event->globalPosition().toPoint() - pos();
}

void TForm_Broadcasting::mouseMoveEvent(QMouseEvent *event)
{
    // A release that went elsewhere (another window, a grab) must not leave the window glued to the pointer.
    if (!(event->buttons() & Qt::LeftButton))
        m_movingWindow = false;
    if (m_movingWindow)
        move(magnet(event->globalPosition().toPoint() - m_moveOffset));
}

void TForm_Broadcasting::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_movingWindow = false;
}

void TForm_Broadcasting::enterEvent(QEnterEvent *event)
{
    QWidget::enterEvent(event);
    if (y() == HiddenTop())
        move(x(), 0);
    updateMotion();
}

void TForm_Broadcasting::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    if (!frameGeometry().contains(QCursor::pos()) && y() == 0 && m_autoHide && m_autoHide())
        move(x(), HiddenTop());
    updateMotion();
}
