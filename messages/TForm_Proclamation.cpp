#include "messages/TForm_Proclamation.h"

#include "base/Cp950.h"
#include "engine/ConsoleValues.h"
#include "engine/Packet.h"
#include "engine/PacketTransport.h"
#include "engine/WireTexts.h"
#include "messages/FaceMenu.h"
#include "messages/FaceMenuLauncher.h"
#include "widgets/Placement.h"
#include "widgets/RichEdit.h"
#include "widgets/SkinnedFrame.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QResizeEvent>
#include <QTime>

QPointer<TForm_Proclamation> Form_Proclamation;

namespace {

const QString Anonymous = QStringView(wire::AnonymousSender).toString();
const QString SendCaption = QStringLiteral("發送信息");

QFont mingFont()
{
    QFont font(QStringLiteral("細明體"));
    font.setPointSize(10);
    return font;
}

// Focus that returns with the window or from a popup menu is no new entry into the editor.
bool returnsOnly(Qt::FocusReason reason)
{
    return reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason;
}

} // namespace

TForm_Proclamation::TForm_Proclamation(const ProclamationDeps &deps) : QWidget(nullptr), m_deps(deps)
{
    setObjectName(QStringLiteral("Form_Proclamation"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setWindowTitle(QStringLiteral("Message"));
    setMinimumSize(130, 50);
    setMaximumSize(1024, 740);
    resize(DesignWidth, DesignHeight);
    buildControls();
    relayout();
    Form_Proclamation = this;
}

TForm_Proclamation::~TForm_Proclamation()
{
    if (Form_Proclamation == this)
        Form_Proclamation = nullptr;
}

TForm_Proclamation *TForm_Proclamation::MenuItem_BSendClick(const ProclamationDeps &deps)
{
    if (Form_Proclamation) {
        Form_Proclamation->raise();
        Form_Proclamation->activateWindow();
        return Form_Proclamation;
    }
    auto *window = new TForm_Proclamation(deps);
    window->show();
    return window;
}

void TForm_Proclamation::buildControls()
{
    auto button = [this](const char *name, const QString &caption) {
        auto *b = new QPushButton(caption, suiForm_Proclamation);
        b->setObjectName(QLatin1String(name));
        // A click must not take the focus from the editor.
        b->setFocusPolicy(Qt::TabFocus);
        return b;
    };

    suiForm_Proclamation = new SkinnedFrame(this);
    suiForm_Proclamation->setObjectName(QStringLiteral("suiForm_Proclamation"));
    suiForm_Proclamation->setIconVisible(false);
    suiForm_Proclamation->setCaption(windowTitle());
    // The fourth button has no action here; the frame only reports its clicks.
    suiForm_Proclamation->addTitleButton(TitleButtonKind::Custom);

    FlatComboBox_IP = new QComboBox(suiForm_Proclamation);
    FlatComboBox_IP->setObjectName(QStringLiteral("FlatComboBox_IP"));
    FlatComboBox_IP->setEditable(false);
    FlatComboBox_IP->setFocusPolicy(Qt::TabFocus);

    RxRichEdit_Content = new RichEdit(suiForm_Proclamation);
    RxRichEdit_Content->setObjectName(QStringLiteral("RxRichEdit_Content"));
    RxRichEdit_Content->setFont(mingFont());
    RxRichEdit_Content->document()->setDefaultFont(mingFont());
    RxRichEdit_Content->setCurrentFont(mingFont());
    RxRichEdit_Content->setTextColor(Qt::black);
    RxRichEdit_Content->installEventFilter(this);

    m_faceMenu = new FaceMenu(RxRichEdit_Content, this);
    OpenFaceMenuFromControlBox(*suiForm_Proclamation, *m_faceMenu);

    suiCheckBox_AlarmCall = new QCheckBox(QStringLiteral("緊急通告"), suiForm_Proclamation);
    suiCheckBox_AlarmCall->setObjectName(QStringLiteral("suiCheckBox_AlarmCall"));
    suiCheckBox_AlarmCall->setFocusPolicy(Qt::TabFocus);
    suiButton_Close = button("suiButton_Close", QStringLiteral("取消"));
    suiButton_OK = button("suiButton_OK", QStringLiteral("發 送"));

    connect(suiButton_Close, &QPushButton::clicked, this, &TForm_Proclamation::suiButton_CloseClick);
    connect(suiButton_OK, &QPushButton::clicked, this, &TForm_Proclamation::suiButton_OKClick);
}

void TForm_Proclamation::relayout()
{
    const int w = width();
    const int h = height();
    suiForm_Proclamation->setGeometry(0, 0, w, h);
    // The frame places its title buttons on its resize event, which Qt holds back until the window shows;
    // the sender list is placed by those buttons, so they have to stand where they will be now.
    QResizeEvent frameResized(suiForm_Proclamation->size(), suiForm_Proclamation->size());
    QCoreApplication::sendEvent(suiForm_Proclamation, &frameResized);

    // The sender list lies in the title bar between the caption and the buttons on the right.
    const QRect bar = suiForm_Proclamation->titleBarRect();
    const int captionLeft = titleButton(ControlBox)->geometry().right() + 7;
    const int captionWidth =
        QFontMetrics(suiForm_Proclamation->captionFont()).horizontalAdvance(suiForm_Proclamation->caption());
    int listRight = w;
    for (int i = SkinnedFrame::CloseButton; i < suiForm_Proclamation->titleButtonCount(); ++i)
        listRight = qMin(listRight, titleButton(i)->x());
    const int listLeft = captionLeft + captionWidth + 6;
    const int listHeight = bar.height() - 4;
    FlatComboBox_IP->setGeometry(listLeft, bar.top() + 2, qMax(20, listRight - 4 - listLeft), listHeight);

    const int bodyTop = bar.bottom() + 3;
    const int buttonsTop = h - 25;
    RxRichEdit_Content->setGeometry(4, bodyTop, w - 8, qMax(0, buttonsTop - bodyTop - 3));
    suiCheckBox_AlarmCall->setGeometry(4, buttonsTop, 80, 21);
    suiButton_OK->setGeometry(w - 4 - 44, buttonsTop, 44, 21);
    suiButton_Close->setGeometry(w - 4 - 44 - 4 - 44, buttonsTop, 44, 21);
}

QAbstractButton *TForm_Proclamation::titleButton(int index) const
{
    return suiForm_Proclamation->titleButton(index);
}

void TForm_Proclamation::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    relayout();
}

// ---- showing and closing ------------------------------------------------------------------------------------

void TForm_Proclamation::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TForm_Proclamation::FormShow()
{
    RxRichEdit_Content->setFocus();
    FlatComboBox_IP->clear();
    FlatComboBox_IP->addItem(Anonymous, cp950::encode(Anonymous));
    const QByteArray nickname = m_deps.values ? m_deps.values->OwnNickname : QByteArray();
    // The item keeps the nickname's own bytes; its text is only how the list shows them.
    FlatComboBox_IP->addItem(cp950::decode(nickname), nickname);
    FlatComboBox_IP->setCurrentIndex(1);
    PlaceAboveTaskbar(this);
}

void TForm_Proclamation::closeEvent(QCloseEvent *event)
{
    FormCloseQuery();
    event->accept();
    FormClose();
}

void TForm_Proclamation::FormCloseQuery()
{
    if (m_deps.currentImeName && m_deps.values)
        m_deps.values->ImeName = m_deps.currentImeName();
}

void TForm_Proclamation::FormClose()
{
    // The window is deleted later; the next opening must already create a new one.
    if (Form_Proclamation == this)
        Form_Proclamation = nullptr;
}

void TForm_Proclamation::suiButton_CloseClick()
{
    close();
}

// ---- editor -------------------------------------------------------------------------------------------------

bool TForm_Proclamation::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == RxRichEdit_Content) {
        switch (event->type()) {
        case QEvent::KeyPress:
            return RxRichEdit_ContentKeyDown(static_cast<QKeyEvent *>(event));
        case QEvent::FocusIn:
            if (!m_editorEntered || !returnsOnly(static_cast<QFocusEvent *>(event)->reason())) {
                m_editorEntered = true;
                RxRichEdit_ContentEnter();
            }
            break;
        case QEvent::FocusOut:
            if (!returnsOnly(static_cast<QFocusEvent *>(event)->reason()))
                m_editorEntered = false;
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TForm_Proclamation::RxRichEdit_ContentEnter()
{
    if (m_deps.activateIme && m_deps.values)
        m_deps.activateIme(m_deps.values->ImeName);
}

bool TForm_Proclamation::RxRichEdit_ContentKeyDown(QKeyEvent *event)
{
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return false;
    // A broadcast is one paragraph: Enter never starts a new line.
    if (event->modifiers() & Qt::ControlModifier)
        suiButton_OKClick();
    return true;
}

// ---- sending ------------------------------------------------------------------------------------------------

void TForm_Proclamation::refuse(const QString &text)
{
    auto *box = new QMessageBox(QMessageBox::NoIcon, SendCaption, text, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("RefusalMessageBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void TForm_Proclamation::suiButton_OKClick()
{
    if (RxRichEdit_Content->plainText().isEmpty()) {
        refuse(QStringLiteral("不能發送空信息!"));
        return;
    }
    const QByteArray content = RxRichEdit_Content->saveRtf();
    if (content.size() > MaxContentBytes) {
        refuse(QStringLiteral("數據量過大，無法發送！！"));
        return;
    }
    const int command = suiCheckBox_AlarmCall->isChecked() ? Packet::CMD_BULLETIN : Packet::CMD_BROADCAST;
    const QByteArray ownAddress = m_deps.values ? m_deps.values->OwnAddress : QByteArray();
    const QByteArray packet =
        Packet::build(command, {ownAddress, FlatComboBox_IP->currentData().toByteArray(),
                                QTime::currentTime().toString(QStringLiteral("hh:mm")).toLatin1(), content});
    // The engine tells the user itself when the network refuses; the composer closes either way.
    if (m_deps.transport)
        m_deps.transport->SendBroadcast(packet);
    close();
}
