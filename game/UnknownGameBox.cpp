#include "game/UnknownGameBox.h"

#include "base/Cp950.h"
#include "game/GameLobby.h"
#include "game/GameRouter.h"

#include <QMessageBox>

void showUnknownGameBoxes(GameRouter &router, QObject *context)
{
    QObject::connect(&router, &GameRouter::unknownGameData, context, [&router] {
        auto *box = new QMessageBox(QMessageBox::NoIcon, cp950::decode(GameLobby::unknownGameCaption()),
                                    cp950::decode(GameLobby::unknownGameText()), QMessageBox::Ok);
        box->setObjectName(QStringLiteral("MessageBox_UnknownGame"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::ApplicationModal);
        QObject::connect(box, &QMessageBox::finished, &router, &GameRouter::unknownGameBoxClosed);
        box->open();
    });
}
