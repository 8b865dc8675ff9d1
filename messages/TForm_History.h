#pragma once

#include "engine/HistoryStore.h"
#include "richtext/PixelBudget.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTextCursor;
class RichEdit;
class SettingsKey;
class SettingsStore;
class SkinnedFrame;

// The history of everything said, kept across runs: conversations by peer with the broadcasts and the
// bulletins and notices apart, each message rendered from its RTF with its pictures, a search over all of it,
// export of a conversation as HTML, deleting one, and how long history is kept. A conversation is shown a page
// at a time and every list is read with a limit, so that a store of millions of messages opens at once.
class TForm_History final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TForm_History)

public:
    static constexpr int DesignWidth = 760;
    static constexpr int DesignHeight = 500;
    // Messages on one page of a conversation.
    static constexpr int PageSize = 50;
    static constexpr int SearchLimit = 200;
    // A body longer than this is shown as its plain text: reading megabytes of RTF would stop the window.
    static constexpr qsizetype MaxShownRtfBytes = 256 * 1024;
    // RTF read for one page at most; the bodies beyond it are shown as their plain text as well.
    static constexpr qsizetype MaxPageRtfBytes = 2 * 1024 * 1024;
    // Matches highlighted on one page at most.
    static constexpr int MaxHighlights = 2000;
    // Choices of the retention box, in days; 0 keeps history forever.
    static constexpr int KeepChoices[] = {0, 30, 90, 365};

    TForm_History(HistoryStore &history, SettingsStore &settings, QWidget *parent = nullptr);
    ~TForm_History() override;

    // Chooses the chat with the peer at this address (an empty page when there is none yet).
    void showPeer(const QByteArray &address);

    // The conversation on display: its kinds and peer (empty for the broadcasts and the notices), and the
    // index of its first message on the page.
    HistoryStore::Kinds shownKinds() const { return m_kinds; }
    QByteArray shownPeer() const { return m_peer; }
    qint64 pageOffset() const { return m_offset; }
    qint64 shownTotal() const { return m_total; }
    // The ids of the messages on the page, in order.
    QList<qint64> shownIds() const { return m_ids; }
    // The matches of the search highlighted on the page.
    int highlightCount() const;

    // Lists the messages that contain the text; shows the first hit.
    void search(const QString &text);
    // Writes the conversation on display to an HTML file; false when there is none or it could not be written.
    bool exportTo(const QString &fileName, QString *error = nullptr);
    // Sets how many days history is kept, stores it and drops what is older at once.
    void setKeepDays(int days);
    // Reads the conversation list again, keeping the choice.
    void refresh();

public Q_SLOTS:
    void suiButton_SearchClick();
    void suiButton_ExportClick();
    void suiButton_DeleteClick();
    void suiButton_OlderClick();
    void suiButton_NewerClick();
    void suiButton_RefreshClick();
    void suiComboBox_KeepChange(int index);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildControls();
    void readKeepDays();
    void conversationChosen(QListWidgetItem *item);
    void resultChosen(QListWidgetItem *item);
    void choose(HistoryStore::Kinds kinds, const QByteArray &peer, const QString &title);
    void selectConversation(HistoryStore::Kinds kinds, const QByteArray &peer);
    void showPage(qint64 offset, qint64 focusId = 0);
    void renderEntry(QTextCursor &cursor, const HistoryStore::Entry &entry);
    void highlightMatches(qint64 focusId);
    void updatePageControls();
    void deleteShown();
    bool hasConversation() const { return m_kinds.toInt() != 0; }
    QString titleOf(HistoryStore::Kinds kinds, const QByteArray &peer) const;

    HistoryStore &m_history;
    SettingsStore &m_settings;

    HistoryStore::Kinds m_kinds;
    QByteArray m_peer;
    QString m_title;
    qint64 m_total = 0;
    qint64 m_offset = 0;
    QList<qint64> m_ids;
    QList<int> m_starts; // where each message of the page begins in the document
    QString m_needle;
    int m_keepDays = 0;
    PixelBudget m_pictures;
    qsizetype m_pageRtfBytes = 0;

    SkinnedFrame *suiForm_History = nullptr;
    QWidget *m_body = nullptr;
    QLineEdit *suiEdit_Search = nullptr;
    QPushButton *suiButton_Search = nullptr;
    QComboBox *suiComboBox_Keep = nullptr;
    QListWidget *suiListView_Conversation = nullptr;
    QLabel *Panel_Result = nullptr;
    QListWidget *suiListView_Result = nullptr;
    QLabel *Panel_Conversation = nullptr;
    RichEdit *RxRichEdit_History = nullptr;
    QPushButton *suiButton_Older = nullptr;
    QLabel *Panel_Page = nullptr;
    QPushButton *suiButton_Newer = nullptr;
    QPushButton *suiButton_Refresh = nullptr;
    QPushButton *suiButton_Export = nullptr;
    QPushButton *suiButton_Delete = nullptr;
    QPushButton *suiButton_Close = nullptr;
};
