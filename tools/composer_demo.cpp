// Shows the broadcast composer holding Big5 text and a face, with the urgent box ticked; with --menu the
// face menu opens from the control box. For looking at, not a test.
//
// Usage: composer-demo [--menu]

#include "base/Cp950.h"
#include "engine/ConsoleValues.h"
#include "messages/FaceMenu.h"
#include "messages/TForm_Proclamation.h"
#include "widgets/FontSubstitutions.h"
#include "widgets/RichEdit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QTimer>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    FontSubstitutions::install();
    ConsoleValues values;
    values.OwnNickname = cp950::encode(QStringLiteral("小明"));
    values.OwnAddress = "192.168.1.20";
    ProclamationDeps deps;
    deps.values = &values;

    TForm_Proclamation *composer = TForm_Proclamation::MenuItem_BSendClick(deps);
    auto *editor = composer->findChild<RichEdit *>(QStringLiteral("RxRichEdit_Content"));
    editor->insertText(cp950::encode(QStringLiteral("各位同事")));
    composer->faceMenu()->N01Click(composer->faceMenu()->item(QStringLiteral("N11")));
    editor->insertText(cp950::encode(QStringLiteral("：今天下午三點在大會議室開會，請準時出席。")));
    composer->findChild<QCheckBox *>(QStringLiteral("suiCheckBox_AlarmCall"))->setChecked(true);

    if (app.arguments().contains(QStringLiteral("--menu")))
        QTimer::singleShot(300, composer,
                           [composer] { composer->titleButton(TForm_Proclamation::ControlBox)->click(); });
    return app.exec();
}
