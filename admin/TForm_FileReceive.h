#pragma once

#include <QByteArray>
#include <QPointer>
#include <QString>
#include <QWidget>

class QFileDialog;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class ReceivedOffers;
class SettingsStore;
class SkinnedFrame;

// The recipient's window: who offers which files, the folder they go into, accepting or refusing, the
// progress of each file and of the whole, and what became of it. One window lists every offer, so a host
// that sends offer after offer fills a bounded list instead of the screen. Closing it refuses the offers still
// waiting for an answer, so that no sender waits for a window nobody sees; files being fetched go on.
class TForm_FileReceive final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TForm_FileReceive)

public:
    static constexpr int DesignWidth = 300;
    static constexpr int DesignHeight = 292;

    TForm_FileReceive(ReceivedOffers &offers, SettingsStore &store, QWidget *parent = nullptr);

    // The offer shown below the list; empty with none.
    QByteArray shownOffer() const { return m_shown; }
    void showOfferOf(const QByteArray &id);
    // The folder accepted files go into: the last one chosen, else the user's download folder.
    QString folder() const;
    void setFolder(const QString &folder);

public Q_SLOTS:
    void suiButton_AcceptClick();
    void suiButton_RefuseClick();
    void suiButton_CancelClick();
    void suiButton_FolderClick();
    void suiButton_OpenFolderClick();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void offerAdded(const QByteArray &id);
    void offerChanged(const QByteArray &id);
    void offerRemoved(const QByteArray &id);
    void rowChosen(int row);
    void fillList();
    void showOffer();
    int rowOf(const QByteArray &id) const;
    QString rowText(int index) const;
    QString statusText() const;

    ReceivedOffers &m_offers;
    SettingsStore &m_store;
    QByteArray m_shown;
    QPointer<QFileDialog> m_folderDialog;

    SkinnedFrame *suiForm1 = nullptr;
    QListWidget *ListView_Offers = nullptr;
    QLabel *Label_From = nullptr;
    QTreeWidget *DBGrid_Files = nullptr;
    QProgressBar *suiProgressBar_Total = nullptr;
    QLabel *Label_Status = nullptr;
    QLineEdit *suiEdit_Folder = nullptr;
    QPushButton *suiButton_Folder = nullptr;
    QPushButton *suiButton_Accept = nullptr;
    QPushButton *suiButton_Refuse = nullptr;
    QPushButton *suiButton_Cancel = nullptr;
    QPushButton *suiButton_OpenFolder = nullptr;
};
