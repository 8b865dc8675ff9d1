#pragma once

#include "engine/OtherSegments.h"

#include <QWidget>

#include <vector>

class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;
class SkinnedFrame;

// The program's settings that have no menu item of their own, one tab per group. "網絡" holds the other
// segments every broadcast also goes to. Changes are kept in the window until "確 定" stores them.
class TForm_Preferences final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TForm_Preferences)

public:
    static constexpr int DesignWidth = 300;
    static constexpr int DesignHeight = 290;

    explicit TForm_Preferences(OtherSegments &segments, QWidget *parent = nullptr);

    // What the user is told when a typed destination is refused; empty for none.
    static QString refusalText(segments::Refusal refusal);

public Q_SLOTS:
    void suiButton_AddClick();
    void suiButton_EditClick();
    void suiButton_RemoveClick();
    void suiButton_OKClick();

Q_SIGNALS:
    // "網絡診斷": the console opens the network diagnosis.
    void diagnosisRequested();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildControls();
    QWidget *buildNetworkTab();
    void fillList();
    void rowChosen();
    // The destination typed, judged against the list without the row at skip; nullopt after telling why not.
    std::optional<quint32> typedDestination(int skip);
    void tell(const QString &text);

    OtherSegments &m_segments;
    std::vector<quint32> m_destinations;

    SkinnedFrame *suiForm1 = nullptr;
    QTabWidget *suiPageControl1 = nullptr;
    QListWidget *suiListBox_Destinations = nullptr;
    QLineEdit *suiEdit_Destination = nullptr;
    QPushButton *suiButton_Add = nullptr;
    QPushButton *suiButton_Edit = nullptr;
    QPushButton *suiButton_Remove = nullptr;
    QPushButton *suiButton_Diagnosis = nullptr;
    QPushButton *suiButton_OK = nullptr;
    QPushButton *suiButton_Cancel = nullptr;
};
