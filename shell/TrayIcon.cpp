#include "shell/TrayIcon.h"

#include "base/Cp950.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPixmap>
#include <QTimer>

namespace {

// Length of the longest prefix of text, at most limit bytes, that ends on a character boundary.
qsizetype characterPrefix(const QByteArray &text, qsizetype limit)
{
    qsizetype at = 0;
    while (at < text.size()) {
        const qsizetype step = cp950::isLeadByte(static_cast<unsigned char>(text[at])) && at + 1 < text.size() ? 2 : 1;
        if (at + step > limit)
            break;
        at += step;
    }
    return at;
}

} // namespace

TrayIcon::TrayIcon(Questions questions, QTimer *innervation, QObject *parent)
    : QObject(parent), m_questions(std::move(questions)), m_innervation(innervation)
{
    if (!m_questions.keyboardModifiers)
        m_questions.keyboardModifiers = [] { return QGuiApplication::queryKeyboardModifiers(); };
    if (!m_questions.pointerPosition)
        m_questions.pointerPosition = [] { return QCursor::pos(); };
    if (!m_innervation) {
        m_innervation = new QTimer(this);
        m_innervation->setObjectName(QStringLiteral("Timer_Innervation"));
    }
    m_innervation->setInterval(FlashIntervalMs);
    m_innervation->stop();
    connect(m_innervation, &QTimer::timeout, this, &TrayIcon::Timer_InnervationTimer);

    for (int i = 0; i < 3; ++i)
        m_images.append(QIcon(QStringLiteral(":/tray/tray%1.png").arg(i)));

    m_tray = new QSystemTrayIcon(this);
    // No context menu on the tray itself: Qt would open it on its own; the right press opens ours.
    connect(m_tray, &QSystemTrayIcon::activated, this, &TrayIcon::trayActivated);
}

TrayIcon::~TrayIcon() = default;

QIcon TrayIcon::notifyImage(int index) const
{
    return m_images.value(index);
}

QIcon TrayIcon::mainIcon()
{
    return QIcon(QStringLiteral(":/icons/MAINICON.png"));
}

QIcon TrayIcon::emptyIcon() const
{
    QPixmap transparent(IconSize, IconSize);
    transparent.fill(Qt::transparent);
    return QIcon(transparent);
}

QByteArray TrayIcon::buildTrayTip(const QByteArray &nickname, const QByteArray &address)
{
    const QByteArray head = QByteArrayLiteral("Parlune Console\rNickname: ");
    const QByteArray addressLine = QByteArrayLiteral("\rNumberIP: ") + address;
    // Too long: the nickname gives way first, so the address line stays whole; only an address that alone
    // overflows is cut itself. Cuts fall on character boundaries.
    const qsizetype room = TipBytes - head.size() - addressLine.size();
    if (nickname.size() <= room)
        return head + nickname + addressLine;
    const QByteArray shortNickname = nickname.left(characterPrefix(nickname, qMax<qsizetype>(room, 0)));
    QByteArray tip = head + shortNickname + addressLine;
    return tip.left(characterPrefix(tip, TipBytes));
}

QByteArray TrayIcon::TrayTip() const
{
    return buildTrayTip(m_questions.nickname ? m_questions.nickname() : QByteArray(),
                        m_questions.localAddress ? m_questions.localAddress() : QByteArray());
}

QString TrayIcon::tipForDisplay(const QByteArray &tip)
{
    QString text = cp950::decode(tip);
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

bool TrayIcon::AddTrayIcon()
{
    m_look = Look::Idle;
    m_current = notifyImage(0);
    m_tray->setIcon(m_current);
    showTip();
    m_tray->show();
    return QSystemTrayIcon::isSystemTrayAvailable() && m_tray->isVisible();
}

bool TrayIcon::SetTrayIcon(const QIcon &icon)
{
    m_current = icon.isNull() ? emptyIcon() : icon;
    m_tray->setIcon(m_current);
    showTip();
    return m_tray->isVisible();
}

void TrayIcon::refreshTip()
{
    showTip();
}

void TrayIcon::showTip()
{
    // A tray host on D-Bus re-reads the tip at every change it is told of, twice a second while the icon
    // flashes; the tip is still built anew each time, but only a changed one goes out.
    const QString tip = tipForDisplay(TrayTip());
    if (tip != m_tray->toolTip())
        m_tray->setToolTip(tip);
}

bool TrayIcon::RemoveTrayIcon()
{
    m_tray->hide();
    m_look = Look::None;
    return true;
}

void TrayIcon::showLook(Look look)
{
    m_look = look;
    switch (look) {
    case Look::Idle:
        SetTrayIcon(notifyImage(0));
        break;
    case Look::NewMessage:
        SetTrayIcon(notifyImage(1));
        break;
    case Look::Empty:
        SetTrayIcon(QIcon());
        break;
    case Look::Rest:
        SetTrayIcon(mainIcon());
        break;
    case Look::None:
        RemoveTrayIcon();
        break;
    }
}

void TrayIcon::unreadMessageStored()
{
    showLook(Look::NewMessage);
    m_innervation->start();
}

void TrayIcon::flashingSwitchedOn()
{
    m_innervation->start();
}

void TrayIcon::comeToRest()
{
    m_innervation->stop();
    showLook(Look::Rest);
}

void TrayIcon::Timer_InnervationTimer()
{
    if (m_questions.flashingSwitch && m_questions.flashingSwitch()) {
        m_flashPhase = !m_flashPhase;
        showLook(m_flashPhase ? Look::NewMessage : Look::Empty);
        return;
    }
    const bool unread = m_questions.hasUnread && m_questions.hasUnread();
    showLook(unread ? Look::NewMessage : Look::Rest);
    m_innervation->stop();
}

// QSystemTrayIcon on X11 (XEmbed) reports Trigger and Context when the button goes down, and the second press
// of a double click only as DoubleClick; that is the press of the left and right button and nothing else.
// A tray host on D-Bus (StatusNotifierItem) calls Activate and ContextMenu on a click, the closest it offers,
// which Qt reports as the same reasons. Those calls carry neither the modifiers nor, through Qt, the position:
// the Shift state and the pointer are read from the display as the call is handled, as for XEmbed.
void TrayIcon::trayActivated(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        leftPress();
        break;
    case QSystemTrayIcon::Context:
        rightPress();
        break;
    case QSystemTrayIcon::DoubleClick:
    case QSystemTrayIcon::MiddleClick:
    case QSystemTrayIcon::Unknown:
        break;
    }
}

void TrayIcon::leftPress()
{
    const bool shift = m_questions.keyboardModifiers().testFlag(Qt::ShiftModifier);
    if (shift)
        Q_EMIT sendBroadcastRequested();
    else
        Q_EMIT sendMessageRequested();
}

void TrayIcon::rightPress()
{
    const QPoint at = m_questions.pointerPosition();
    // Queued, so that events already waiting are handled before the menu's own loop starts.
    QMetaObject::invokeMethod(
        this, [this, at] { Q_EMIT menuRequested(at); }, Qt::QueuedConnection);
}

void TrayIcon::requestActivation()
{
    QMetaObject::invokeMethod(this, &TrayIcon::leftPress, Qt::QueuedConnection);
}
