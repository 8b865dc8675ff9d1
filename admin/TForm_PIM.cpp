#include "admin/TForm_PIM.h"

#include "admin/FacePicture.h"
#include "admin/PasswordEdit.h"
#include "admin/SpinButton.h"
#include "base/Cp950.h"
#include "engine/ConsoleState.h"
#include "engine/NoticeSink.h"
#include "engine/NoticeText.h"
#include "engine/Packet.h"
#include "engine/PacketTransport.h"
#include "engine/Presence.h"
#include "engine/SettingsNames.h"
#include "engine/SettingsStore.h"
#include "engine/WireTexts.h"
#include "messages/TForm_Messenger.h"
#include "widgets/Placement.h"
#include "widgets/SkinnedFrame.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QTabBar>

const QStringList TForm_PIM::Provinces = {
    QStringLiteral("北京市"),         QStringLiteral("天津市"),         QStringLiteral("上海市"),
    QStringLiteral("重慶市"),         QStringLiteral("香港特別行政區"), QStringLiteral("河北省"),
    QStringLiteral("山西省"),         QStringLiteral("內蒙古自治區"),   QStringLiteral("遼寧省"),
    QStringLiteral("吉林省"),         QStringLiteral("黑龍江省"),       QStringLiteral("江西省"),
    QStringLiteral("浙江省"),         QStringLiteral("江蘇省"),         QStringLiteral("安徽省"),
    QStringLiteral("福建省"),         QStringLiteral("山東省"),         QStringLiteral("河南省"),
    QStringLiteral("湖北省"),         QStringLiteral("湖南省"),         QStringLiteral("廣東省"),
    QStringLiteral("廣西自治區"),     QStringLiteral("海南省"),         QStringLiteral("四川省"),
    QStringLiteral("貴州省"),         QStringLiteral("云南省"),         QStringLiteral("西藏自治區"),
    QStringLiteral("陝西省"),         QStringLiteral("甘肅省"),         QStringLiteral("寧夏自治區"),
    QStringLiteral("青海省"),         QStringLiteral("新疆自治區"),     QStringLiteral("中國台灣"),
    QStringLiteral("澳門特別行政區"),
};

const QString TForm_PIM::FaceFileFilter = QStringLiteral("頭象文件(*.TF)");
// File names on Linux match case-sensitively, and pictures come with either.
const QString TForm_PIM::PictureFilter = QStringLiteral("圖片文件(*.png *.jpg *.jpeg *.bmp *.PNG *.JPG *.JPEG *.BMP)");

namespace {

const QString DefaultProvince = QStringLiteral("廣東省");
constexpr int TabTop = SkinnedFrame::TitleBarHeight + 4;
constexpr int PanelLeft = 88;
constexpr int PanelTop = TabTop + 22;
constexpr int LabelWidth = 78;

QFont mingFont()
{
    return QFont(QStringLiteral("細明體"), 9);
}

// The small picture above the buttons: a card with a face outline, drawn rather than shipped.
QPixmap decoration()
{
    QPixmap picture(70, 60);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(72, 100, 150), 1.5));
    painter.setBrush(QColor(236, 242, 252));
    painter.drawRoundedRect(QRectF(2.5, 6.5, 65, 47), 5, 5);
    painter.setBrush(QColor(118, 146, 190));
    painter.drawEllipse(QRectF(9, 16, 18, 18));
    painter.drawRoundedRect(QRectF(6, 36, 24, 12), 6, 6);
    painter.setPen(QPen(QColor(118, 146, 190), 2.5, Qt::SolidLine, Qt::RoundCap));
    for (int line = 0; line < 3; ++line)
        painter.drawLine(QPointF(35, 20.5 + 10 * line), QPointF(line == 2 ? 52 : 60, 20.5 + 10 * line));
    return picture;
}

QLabel *label(const QString &text, QWidget *parent, int x, int y, int width = LabelWidth)
{
    auto *l = new QLabel(text, parent);
    l->setGeometry(x, y, width, 20);
    return l;
}

template <typename Control> Control *place(Control *control, const char *name, int x, int y, int width, int height = 20)
{
    if (name)
        control->setObjectName(QLatin1String(name));
    control->setGeometry(x, y, width, height);
    return control;
}

QComboBox *choices(QWidget *parent, const QStringList &entries, const char *name = nullptr)
{
    auto *combo = new QComboBox(parent);
    if (name)
        combo->setObjectName(QLatin1String(name));
    combo->addItems(entries);
    return combo;
}

} // namespace

TForm_PIM::TForm_PIM(ConsoleState &state, SettingsStore &store, Presence &presence, PacketTransport &transport,
                     NoticeSink &notices, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint), m_state(state), m_store(store), m_presence(presence),
      m_transport(transport), m_notices(notices)
{
    setObjectName(QStringLiteral("Form_PIM"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("修改用戶資料"));
    setFont(mingFont());
    setFixedSize(DesignWidth, DesignHeight);
    m_mien.append(TForm_Messenger::defaultFace());
    m_mienFaces.append(QByteArray());
    buildControls();
}

// ---- controls -----------------------------------------------------------------------------------------------

void TForm_PIM::buildControls()
{
    suiForm1 = SkinnedFrame::forFixedWindow(this, QStringLiteral("suiForm1"), windowTitle());

    Image_Decoration = place(new QLabel(suiForm1), "Image_Decoration", 9, TabTop + 6, 70, 60);
    Image_Decoration->setPixmap(decoration());
    int top = TabTop + 80;
    const auto button = [&](const char *name, const QString &caption) {
        auto *b = place(new QPushButton(caption, suiForm1), name, 9, top, 70, 23);
        top += 31;
        return b;
    };
    suiButton1 = button("suiButton1", QStringLiteral("頭 像"));
    suiButton_OK = button("suiButton_OK", QStringLiteral("修 改"));
    suiButton_Close = button("suiButton_Close", QStringLiteral("關 閉"));
    connect(suiButton1, &QPushButton::clicked, this, &TForm_PIM::suiButton1Click);
    connect(suiButton_OK, &QPushButton::clicked, this, &TForm_PIM::suiButton_OKClick);
    connect(suiButton_Close, &QPushButton::clicked, this, &TForm_PIM::suiButton_CloseClick);

    suiTabControl1 = place(new QTabBar(suiForm1), "suiTabControl1", PanelLeft, TabTop, DesignWidth - PanelLeft - 7, 22);
    suiTabControl1->setDrawBase(false);
    suiTabControl1->setExpanding(false);
    for (const QString &tab : {QStringLiteral("基本資料"), QStringLiteral("聯系方法"), QStringLiteral("詳細資料"),
                               QStringLiteral("網絡安全")})
        suiTabControl1->addTab(tab);

    buildBasic();
    buildAffiliation();
    buildDetails();
    buildNetSafety();
    connect(suiTabControl1, &QTabBar::currentChanged, this, &TForm_PIM::TabControlChange);
    TabControlChange(0);
}

QGroupBox *TForm_PIM::addPanel(const char *name, const QString &title)
{
    auto *panel = place(new QGroupBox(title, suiForm1), name, PanelLeft, PanelTop, DesignWidth - PanelLeft - 7,
                        DesignHeight - PanelTop - 7);
    m_panels.append(panel);
    return panel;
}

void TForm_PIM::buildBasic()
{
    QGroupBox *panel = addPanel("Panel_Basic", QStringLiteral("基本信息"));
    JvImageSquare_Mien = place(new QLabel(panel), "JvImageSquare_Mien", 10, 20, 44, 44);
    JvImageSquare_Mien->setFrameShape(QFrame::Box);
    JvImageSquare_Mien->setAlignment(Qt::AlignCenter);
    JvImageSquare_Mien->setStyleSheet(QStringLiteral("QLabel { background: white; color: #7f7f7f; }"));
    SpinButton1 = place(new SpinButton(panel), "SpinButton1", 56, 20, 14, 44);
    connect(SpinButton1, &SpinButton::downClicked, this, &TForm_PIM::SpinButton1DownClick);
    connect(SpinButton1, &SpinButton::upClicked, this, &TForm_PIM::SpinButton1UpClick);

    label(QStringLiteral("用戶號碼:"), panel, 80, 20, 62);
    suiEdit_IP = place(new QLineEdit(panel), "suiEdit_IP", 142, 20, 140);
    suiEdit_IP->setReadOnly(true);
    label(QStringLiteral("用戶昵稱:"), panel, 80, 44, 62);
    suiEdit_Nickname = place(new QLineEdit(panel), "suiEdit_Nickname", 142, 44, 140);

    label(QStringLiteral("國家/地區"), panel, 10, 74, 62);
    auto *country =
        place(choices(panel, {QStringLiteral("中華人民共和國")}, "suiComboBox_Country"), nullptr, 80, 74, 202);
    country->setEditable(true);
    label(QStringLiteral("年齡"), panel, 10, 100, 62);
    place(new QLineEdit(panel), "suiEdit_Age", 80, 100, 60);
    label(QStringLiteral("性別"), panel, 160, 100, 40);
    place(choices(panel, {QStringLiteral("男"), QStringLiteral("女")}, "suiComboBox_Sex"), nullptr, 202, 100, 80);
    label(QStringLiteral("省份"), panel, 10, 126, 62);
    auto *provinces = place(choices(panel, Provinces, "suiComboBox_Province"), nullptr, 80, 126, 202);
    provinces->setMaxVisibleItems(12);
    provinces->setCurrentIndex(int(Provinces.indexOf(DefaultProvince)));
    label(QStringLiteral("城市"), panel, 10, 152, 62);
    place(new QLineEdit(panel), "suiEdit_City", 80, 152, 202);
}

void TForm_PIM::buildAffiliation()
{
    QGroupBox *panel = addPanel("Panel_Affiliation", QStringLiteral("聯系方法"));
    const char *names[] = {"suiEdit_Email", "suiEdit_Address", "suiEdit_Postcode", "suiEdit_Phone", "suiEdit_Oicq"};
    const QStringList labels = {QStringLiteral("電子郵件:"), QStringLiteral("聯系地址:"), QStringLiteral("郵政編碼:"),
                                QStringLiteral("電話號碼:"), QStringLiteral("OICQ號碼:")};
    for (int i = 0; i < labels.size(); ++i) {
        const int y = 24 + 30 * i;
        label(labels.at(i), panel, 10, y);
        place(new QLineEdit(panel), names[i], 10 + LabelWidth, y, 194);
    }
}

void TForm_PIM::buildDetails()
{
    QGroupBox *panel = addPanel("Panel_Details", QStringLiteral("個人資料"));
    const QStringList zodiac = {QStringLiteral("鼠"), QStringLiteral("牛"), QStringLiteral("虎"), QStringLiteral("兔"),
                                QStringLiteral("龍"), QStringLiteral("蛇"), QStringLiteral("馬"), QStringLiteral("羊"),
                                QStringLiteral("猴"), QStringLiteral("雞"), QStringLiteral("狗"), QStringLiteral("豬")};
    const QStringList bloodTypes = {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("O"),
                                    QStringLiteral("AB")};
    const QStringList signs = {QStringLiteral("白羊座"), QStringLiteral("金牛座"), QStringLiteral("雙子座"),
                               QStringLiteral("巨蟹座"), QStringLiteral("獅子座"), QStringLiteral("處女座"),
                               QStringLiteral("天秤座"), QStringLiteral("天蠍座"), QStringLiteral("射手座"),
                               QStringLiteral("摩羯座"), QStringLiteral("水瓶座"), QStringLiteral("雙魚座")};
    const QStringList occupations = {QStringLiteral("學生"),     QStringLiteral("教師"), QStringLiteral("工程師"),
                                     QStringLiteral("公務員"),   QStringLiteral("醫生"), QStringLiteral("商人"),
                                     QStringLiteral("自由職業"), QStringLiteral("其他")};

    label(QStringLiteral("真實姓名"), panel, 10, 20, 56);
    place(new QLineEdit(panel), "suiEdit_RealName", 68, 20, 92);
    label(QStringLiteral("生肖"), panel, 172, 20, 34);
    place(choices(panel, zodiac, "suiComboBox_Zodiac"), nullptr, 208, 20, 74);
    label(QStringLiteral("血型"), panel, 10, 46, 56);
    place(choices(panel, bloodTypes, "suiComboBox_Blood"), nullptr, 68, 46, 92);
    label(QStringLiteral("星座"), panel, 172, 46, 34);
    place(choices(panel, signs, "suiComboBox_Sign"), nullptr, 208, 46, 74);
    label(QStringLiteral("畢業學校"), panel, 10, 72, 56);
    place(new QLineEdit(panel), "suiEdit_School", 68, 72, 214);
    label(QStringLiteral("職業"), panel, 10, 98, 56);
    place(choices(panel, occupations, "suiComboBox_Occupation"), nullptr, 68, 98, 214);
    label(QStringLiteral("個人說明:"), panel, 10, 124, 70);
    place(new QPlainTextEdit(panel), "suiMemo_Description", 10, 144, 272, 50);
}

void TForm_PIM::buildNetSafety()
{
    QGroupBox *panel = addPanel("Panel_NetSafety", QStringLiteral("網絡安全"));
    suiCheckBox_Password = place(new QCheckBox(QStringLiteral("修改密碼"), panel), "suiCheckBox_Password", 10, 20, 120);
    connect(suiCheckBox_Password, &QCheckBox::clicked, this, &TForm_PIM::suiCheckBox_PasswordClick);
    const auto password = [&](const char *name, const QString &caption, int y) {
        label(caption, panel, 10, y);
        auto *edit = place(new PasswordEdit(panel), name, 10 + LabelWidth, y, 150);
        edit->setEnabled(false);
        return edit;
    };
    suiEdit_OldPassword = password("suiEdit_OldPassword", QStringLiteral("舊密碼:"), 44);
    suiEdit_NewPassword = password("suiEdit_NewPassword", QStringLiteral("新密碼:"), 68);
    suiEdit_OkPassword = password("suiEdit_OkPassword", QStringLiteral("確認新密碼:"), 92);
    auto *allow = place(new QRadioButton(QStringLiteral("允許任何人查看我的個人資料"), panel), "suiRadioButton_Allow",
                        10, 120, 272);
    allow->setChecked(true);
    place(new QRadioButton(QStringLiteral("不允許任何人查看我的個人資料"), panel), "suiRadioButton_Deny", 10, 142, 272);
    // Power-off requests are refused while this host has no password; say why others cannot use it.
    Label_NoPassword = place(new QLabel(QStringLiteral("尚未設定密碼，本機拒絕所有遠程關機請求。"), panel),
                             "Label_NoPassword", 10, 168, 272);
    Label_NoPassword->setStyleSheet(QStringLiteral("QLabel { color: #a02020; }"));
}

// ---- showing ------------------------------------------------------------------------------------------------

void TForm_PIM::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TForm_PIM::FormShow()
{
    const ConsoleValues &values = m_state.values();
    // Each showing starts from the console's values: the built-in picture and the own face.
    m_mien.resize(1);
    m_mienFaces.resize(1);
    m_pictureChosen = false;
    selectPicture(0);
    if (!values.OwnFace.isEmpty()) {
        const QImage face = FacePicture::decode(values.OwnFace);
        if (!face.isNull())
            selectPicture(appendPicture(QPixmap::fromImage(face), values.OwnFace));
    }
    PlaceAboveTaskbar(this);
    suiEdit_Nickname->setText(cp950::decode(values.OwnNickname));
    suiEdit_IP->setText(cp950::decode(values.OwnAddress));
    Label_NoPassword->setVisible(values.OwnPassword.isEmpty());
}

void TForm_PIM::TabControlChange(int index)
{
    for (int i = 0; i < m_panels.size(); ++i)
        m_panels.at(i)->setVisible(i == index);
}

// ---- pictures -----------------------------------------------------------------------------------------------

int TForm_PIM::appendPicture(const QPixmap &picture, const QByteArray &face)
{
    m_mien.append(picture.scaled(TForm_Messenger::FaceSize, TForm_Messenger::FaceSize, Qt::IgnoreAspectRatio,
                                 Qt::SmoothTransformation));
    m_mienFaces.append(face);
    return int(m_mien.size()) - 1;
}

void TForm_PIM::selectPicture(int index)
{
    m_selected = index;
    JvImageSquare_Mien->setPixmap(m_mien.at(index));
}

void TForm_PIM::SpinButton1DownClick()
{
    if (m_selected < m_mien.size() - 1) {
        selectPicture(m_selected + 1);
        m_pictureChosen = true;
    }
}

void TForm_PIM::SpinButton1UpClick()
{
    if (m_selected > 0) {
        selectPicture(m_selected - 1);
        m_pictureChosen = true;
    }
}

void TForm_PIM::suiButton1Click()
{
    auto *dialog = new QFileDialog(this);
    dialog->setObjectName(QStringLiteral("FaceFileDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setNameFilters({FaceFileFilter, PictureFilter});
    connect(dialog, &QFileDialog::fileSelected, this,
            [this, dialog](const QString &fileName) { faceFileChosen(fileName, dialog->selectedNameFilter()); });
    dialog->open();
}

void TForm_PIM::faceFileChosen(const QString &fileName, const QString &filter)
{
    const FacePicture::Loaded loaded =
        filter == PictureFilter ? FacePicture::fromPicture(fileName) : FacePicture::fromFaceFile(fileName);
    if (loaded.face.isEmpty()) {
        showError(loaded.error);
        return;
    }
    selectPicture(appendPicture(QPixmap::fromImage(loaded.image), loaded.face));
    m_pictureChosen = true;
    // A face that cannot be stored still shows; the user hears nothing of it, and nothing is announced.
    if (!profileKeyOpens())
        return;
    m_state.setOwnFace(loaded.face);
    announceAfresh();
    notice(wire::FaceRegistered, wire::FaceRegisteredCaption);
}

void TForm_PIM::showError(const QString &text)
{
    auto *box =
        new QMessageBox(QMessageBox::Critical, QGuiApplication::applicationDisplayName(), text, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("ErrorMessageBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

// ---- saving -------------------------------------------------------------------------------------------------

void TForm_PIM::suiCheckBox_PasswordClick()
{
    const bool on = suiCheckBox_Password->isChecked();
    for (PasswordEdit *edit : {suiEdit_OldPassword, suiEdit_NewPassword, suiEdit_OkPassword})
        edit->setEnabled(on);
}

void TForm_PIM::suiButton_OKClick()
{
    const bool changePassword = suiCheckBox_Password->isChecked();
    if (changePassword) {
        if (cp950::encode(suiEdit_OldPassword->text()) != m_state.values().OwnPassword) {
            notice(wire::OldPasswordWrong, wire::PasswordErrorCaption);
            return;
        }
        if (suiEdit_NewPassword->text() != suiEdit_OkPassword->text()) {
            notice(wire::NewPasswordsDiffer, wire::PasswordErrorCaption);
            return;
        }
    }
    if (suiEdit_Nickname->text().isEmpty()) {
        notice(wire::NicknameMissing, wire::EditProfileCaption);
        return;
    }
    storeProfile();
    // Peers drop the old entry first, so the fresh announcement adds it anew with the new values.
    announceAfresh();
    notice(wire::ProfileSaved, wire::EditProfileCaption);
    close();
}

// The console keeps what it is given even when the store refuses it; a profile that cannot be stored must not
// change at all, so the key is tried first, as the values were always written.
bool TForm_PIM::profileKeyOpens()
{
    return m_store.openKey(settings::ProfileKey) != nullptr;
}

void TForm_PIM::storeProfile()
{
    if (!profileKeyOpens())
        return;
    if (suiCheckBox_Password->isChecked())
        m_state.setOwnPassword(cp950::encode(suiEdit_OkPassword->text()));
    m_state.setOwnNickname(cp950::encode(suiEdit_Nickname->text()));
    const QByteArray shown = m_mienFaces.value(m_selected);
    if (m_pictureChosen && shown != m_state.values().OwnFace)
        m_state.setOwnFace(shown);
}

void TForm_PIM::announceAfresh()
{
    m_transport.SendBroadcast(Packet::build(Packet::CMD_OFFLINE, {m_state.values().OwnAddress}));
    m_presence.AnnouncePresence();
}

void TForm_PIM::notice(QStringView text, const char *caption)
{
    m_notices.ShowNotice(NoticeText::build(text, NoticeText::Frame::SansSerif8, NoticeText::Escapes::HighBytes),
                         QByteArray(caption));
}

void TForm_PIM::suiButton_CloseClick()
{
    close();
}
