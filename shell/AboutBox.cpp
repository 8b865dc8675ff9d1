#include "shell/AboutBox.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

AboutBox::AboutBox(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TForm_About"));
    setWindowTitle(QStringLiteral("Parlune"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/MAINICON.png")));
    setModal(true);

    auto *picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Image_Icon"));
    picture->setPixmap(QIcon(QStringLiteral(":/icons/hicolor/64x64/apps/parlune.png")).pixmap(64, 64));

    auto *title = new QLabel(QStringLiteral("Parlune"), this);
    title->setObjectName(QStringLiteral("Label_Title"));
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    title->setFont(big);

    auto *text = new QLabel(QStringLiteral("區域網路即時通訊\n版本 %1\n建置日期 %2").arg(version(), buildDate()), this);
    text->setObjectName(QStringLiteral("Label_Version"));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("確定"));
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("Button_OK"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto *words = new QVBoxLayout;
    words->addWidget(title);
    words->addWidget(text);
    auto *row = new QHBoxLayout;
    row->addWidget(picture, 0, Qt::AlignTop);
    row->addSpacing(12);
    row->addLayout(words, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

AboutBox::~AboutBox() = default;

QString AboutBox::version()
{
    return QStringLiteral(PARLUNE_VERSION);
}

QString AboutBox::buildDate()
{
    return QStringLiteral(PARLUNE_BUILD_DATE);
}
