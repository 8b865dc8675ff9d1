#pragma once

#include "engine/NetworkProbe.h"

#include <QWidget>

class FileTransfer;
class FriendTable;
class NetworkDiagnosis;
class Presence;
class QLabel;
class QLineEdit;
class QPushButton;
class QTextBrowser;
class SkinnedFrame;
class SocketEngine;
struct DiagnosisFacts;

// "Why can't I see them?": what this host looks like from the network, in plain words, and a probe of one
// host that tells which of four things stands between the two.
class TForm_Diagnosis final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TForm_Diagnosis)

public:
    static constexpr int DesignWidth = 460;
    static constexpr int DesignHeight = 520;

    // files: the transfer engine whose port is shown beside the others; none, none shown.
    TForm_Diagnosis(SocketEngine &engine, Presence &presence, FriendTable &friends, const FileTransfer *files = nullptr,
                    QWidget *parent = nullptr);
    ~TForm_Diagnosis() override;

    // What the window says about a verdict: the finding and what to do.
    static QString verdictText(NetworkProbe::Verdict verdict);
    static QString adviceText(NetworkProbe::Verdict verdict);
    // The facts as the window shows them, section by section.
    static QString factsHtml(const DiagnosisFacts &facts);

public Q_SLOTS:
    void suiButton_RecheckClick();
    void suiButton_ProbeClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildControls();
    void showVerdict(NetworkProbe::Verdict verdict);
    void tell(const QString &finding, const QString &advice);

    FriendTable &m_friends;
    const FileTransfer *m_files;
    NetworkDiagnosis *m_diagnosis;
    NetworkProbe *m_probe;

    SkinnedFrame *suiForm_Diagnosis = nullptr;
    QTextBrowser *Memo_Facts = nullptr;
    QPushButton *suiButton_Recheck = nullptr;
    QLineEdit *suiEdit_Probe = nullptr;
    QPushButton *suiButton_Probe = nullptr;
    QLabel *Label_Verdict = nullptr;
    QLabel *Label_Advice = nullptr;
};
