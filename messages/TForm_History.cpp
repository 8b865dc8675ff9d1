#include "messages/TForm_History.h"

#include "base/Cp950.h"
#include "engine/SettingsNames.h"
#include "engine/SettingsStore.h"
#include "messages/HistoryExport.h"
#include "richtext/RtfReader.h"
#include "widgets/RichEdit.h"
#include "widgets/SkinnedFrame.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QShowEvent>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>

namespace {

enum Role { KindsRole = Qt::UserRole, PeerRole, IdRole, TitleRole };

constexpr HistoryStore::Kinds BroadcastKinds{HistoryStore::Kind::Broadcast};
constexpr HistoryStore::Kinds NoticeKinds{HistoryStore::Kind::Bulletin, HistoryStore::Kind::Notice};
constexpr HistoryStore::Kinds ChatKinds{HistoryStore::Kind::Chat};

const QString DateFormat = QStringLiteral("yy-MM-dd hh:mm");

QFont mingFont()
{
    QFont font(QStringLiteral("細明體"));
    font.setPointSize(10);
    return font;
}

// Names and texts from the network on one line of a list: no line breaks or other control characters.
QString oneLine(QString text)
{
    for (QChar &c : text)
        if (c.unicode() < 0x20 || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = u' ';
    return text;
}

QString nameOf(const QByteArray &nickname, const QByteArray &address)
{
    const QString name = oneLine(cp950::decode(nickname)).trimmed();
    const QString peer = oneLine(cp950::decode(address));
    return name.isEmpty() ? peer : QStringLiteral("%1 (%2)").arg(name, peer);
}

// The conversation an entry belongs to in the list: chats by peer, broadcasts and notices each as one.
HistoryStore::Kinds kindsOf(HistoryStore::Kind kind)
{
    switch (kind) {
    case HistoryStore::Kind::Chat:
        return ChatKinds;
    case HistoryStore::Kind::Broadcast:
        return BroadcastKinds;
    case HistoryStore::Kind::Bulletin:
    case HistoryStore::Kind::Notice:
        break;
    }
    return NoticeKinds;
}

QString snippet(const QString &text, const QString &needle)
{
    constexpr int Before = 12;
    constexpr int Length = 48;
    const qsizetype at = text.indexOf(needle, 0, Qt::CaseInsensitive);
    const qsizetype from = at > Before ? at - Before : 0;
    QString shown = oneLine(text.mid(from, Length)).simplified();
    if (from > 0)
        shown.prepend(u'…');
    if (from + Length < text.size())
        shown.append(u'…');
    return shown;
}

// A conversation or a search hit in two lines: its name, and under it in grey what it holds.
class ConversationDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        const QString text = index.data(Qt::DisplayRole).toString();
        item.text.clear();
        const QWidget *widget = option.widget;
        QStyle *style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

        const qsizetype lineBreak = text.indexOf(u'\n');
        const QString title = text.left(lineBreak);
        const QString detail = lineBreak < 0 ? QString() : text.mid(lineBreak + 1);
        const bool selected = option.state & QStyle::State_Selected;
        const QRect area = option.rect.adjusted(Padding + 2, Padding, -Padding, -Padding);
        painter->save();
        QFont titleFont = item.font;
        titleFont.setBold(true);
        painter->setFont(titleFont);
        painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        const QFontMetrics titleMetrics(titleFont);
        painter->drawText(QRect(area.left(), area.top(), area.width(), titleMetrics.height()), Qt::AlignLeft,
                          titleMetrics.elidedText(title, Qt::ElideRight, area.width()));
        QFont detailFont = item.font;
        detailFont.setPointSizeF(qMax(6.0, detailFont.pointSizeF() - 1));
        painter->setFont(detailFont);
        painter->setPen(selected ? option.palette.color(QPalette::HighlightedText) : QColor(110, 110, 110));
        const QFontMetrics detailMetrics(detailFont);
        painter->drawText(
            QRect(area.left(), area.top() + titleMetrics.height() + 1, area.width(), detailMetrics.height()),
            Qt::AlignLeft, detailMetrics.elidedText(detail, Qt::ElideRight, area.width()));
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QFont titleFont = option.font;
        titleFont.setBold(true);
        QFont detailFont = option.font;
        detailFont.setPointSizeF(qMax(6.0, detailFont.pointSizeF() - 1));
        const int height = QFontMetrics(titleFont).height() + QFontMetrics(detailFont).height() + 1 + 2 * Padding;
        return QSize(QStyledItemDelegate::sizeHint(option, index).width(), height);
    }

private:
    static constexpr int Padding = 4;
};

} // namespace

TForm_History::TForm_History(HistoryStore &history, SettingsStore &settings, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_history(history), m_settings(settings)
{
    setObjectName(QStringLiteral("Form_History"));
    setWindowTitle(QStringLiteral("歷史記錄"));
    setMinimumSize(520, 340);
    resize(DesignWidth, DesignHeight);
    buildControls();
    readKeepDays();
    refresh();
    // The latest chat, as a messenger opens with its latest conversation.
    for (int row = 0; row < suiListView_Conversation->count(); ++row) {
        QListWidgetItem *item = suiListView_Conversation->item(row);
        if (HistoryStore::Kinds::fromInt(item->data(KindsRole).toInt()) == ChatKinds) {
            suiListView_Conversation->setCurrentItem(item);
            break;
        }
    }
}

TForm_History::~TForm_History() = default;

void TForm_History::buildControls()
{
    auto button = [](const char *name, const QString &caption, QWidget *parent) {
        auto *b = new QPushButton(caption, parent);
        b->setObjectName(QLatin1String(name));
        return b;
    };
    auto label = [](const char *name, QWidget *parent) {
        auto *l = new QLabel(parent);
        l->setObjectName(QLatin1String(name));
        // Names from the network are never read as markup.
        l->setTextFormat(Qt::PlainText);
        return l;
    };

    suiForm_History = new SkinnedFrame(this);
    suiForm_History->setObjectName(QStringLiteral("suiForm_History"));
    suiForm_History->setCaption(QStringLiteral("歷史記錄"));
    suiForm_History->setIconVisible(false);
    m_body = new QWidget(suiForm_History);

    suiEdit_Search = new QLineEdit(m_body);
    suiEdit_Search->setObjectName(QStringLiteral("suiEdit_Search"));
    suiEdit_Search->setPlaceholderText(QStringLiteral("搜索全部記錄（中文或英文）"));
    suiEdit_Search->setClearButtonEnabled(true);
    suiButton_Search = button("suiButton_Search", QStringLiteral("搜索"), m_body);
    auto *keepLabel = new QLabel(QStringLiteral("保存期限"), m_body);
    suiComboBox_Keep = new QComboBox(m_body);
    suiComboBox_Keep->setObjectName(QStringLiteral("suiComboBox_Keep"));
    for (int days : KeepChoices)
        suiComboBox_Keep->addItem(days ? QStringLiteral("%1 天").arg(days) : QStringLiteral("永久"), days);
    keepLabel->setBuddy(suiComboBox_Keep);

    auto *top = new QHBoxLayout;
    top->addWidget(suiEdit_Search, 1);
    top->addWidget(suiButton_Search);
    top->addSpacing(16);
    top->addWidget(keepLabel);
    top->addWidget(suiComboBox_Keep);

    suiListView_Conversation = new QListWidget(m_body);
    suiListView_Conversation->setObjectName(QStringLiteral("suiListView_Conversation"));
    suiListView_Conversation->setWordWrap(false);
    suiListView_Conversation->setTextElideMode(Qt::ElideRight);
    suiListView_Conversation->setUniformItemSizes(true);
    suiListView_Conversation->setItemDelegate(new ConversationDelegate(suiListView_Conversation));
    suiListView_Conversation->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto *results = new QWidget(m_body);
    auto *resultsLayout = new QVBoxLayout(results);
    resultsLayout->setContentsMargins(0, 0, 0, 0);
    resultsLayout->setSpacing(2);
    Panel_Result = label("Panel_Result", results);
    suiListView_Result = new QListWidget(results);
    suiListView_Result->setObjectName(QStringLiteral("suiListView_Result"));
    suiListView_Result->setTextElideMode(Qt::ElideRight);
    suiListView_Result->setUniformItemSizes(true);
    suiListView_Result->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    suiListView_Result->setItemDelegate(new ConversationDelegate(suiListView_Result));
    resultsLayout->addWidget(Panel_Result);
    resultsLayout->addWidget(suiListView_Result, 1);
    results->setObjectName(QStringLiteral("Panel_Results"));
    results->hide();
    auto *left = new QSplitter(Qt::Vertical, m_body);
    left->addWidget(suiListView_Conversation);
    left->addWidget(results);
    left->setChildrenCollapsible(false);
    left->setStretchFactor(0, 3);
    left->setStretchFactor(1, 2);

    auto *right = new QWidget(m_body);
    auto *rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(2);
    Panel_Conversation = label("Panel_Conversation", right);
    QFont bold = Panel_Conversation->font();
    bold.setBold(true);
    Panel_Conversation->setFont(bold);
    RxRichEdit_History = new RichEdit(right);
    RxRichEdit_History->setObjectName(QStringLiteral("RxRichEdit_History"));
    RxRichEdit_History->setFont(mingFont());
    RxRichEdit_History->setReadOnly(true);
    RxRichEdit_History->setUndoRedoEnabled(false);
    rightLayout->addWidget(Panel_Conversation);
    rightLayout->addWidget(RxRichEdit_History, 1);

    auto *split = new QSplitter(Qt::Horizontal, m_body);
    split->addWidget(left);
    split->addWidget(right);
    split->setStretchFactor(1, 1);
    split->setSizes({220, DesignWidth - 220});
    split->setChildrenCollapsible(false);

    suiButton_Older = button("suiButton_Older", QStringLiteral("較早"), m_body);
    Panel_Page = label("Panel_Page", m_body);
    suiButton_Newer = button("suiButton_Newer", QStringLiteral("較新"), m_body);
    suiButton_Refresh = button("suiButton_Refresh", QStringLiteral("刷新"), m_body);
    suiButton_Export = button("suiButton_Export", QStringLiteral("導出"), m_body);
    suiButton_Delete = button("suiButton_Delete", QStringLiteral("刪除"), m_body);
    suiButton_Close = button("suiButton_Close", QStringLiteral("關閉"), m_body);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(suiButton_Older);
    bottom->addWidget(Panel_Page);
    bottom->addWidget(suiButton_Newer);
    bottom->addStretch(1);
    bottom->addWidget(suiButton_Refresh);
    bottom->addWidget(suiButton_Export);
    bottom->addWidget(suiButton_Delete);
    bottom->addWidget(suiButton_Close);

    auto *layout = new QVBoxLayout(m_body);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addLayout(top);
    layout->addWidget(split, 1);
    layout->addLayout(bottom);

    connect(suiEdit_Search, &QLineEdit::returnPressed, this, &TForm_History::suiButton_SearchClick);
    connect(suiButton_Search, &QPushButton::clicked, this, &TForm_History::suiButton_SearchClick);
    // Emptying the box ends the search: the hits go, and so do the highlights.
    connect(suiEdit_Search, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (text.trimmed().isEmpty() && !m_needle.isEmpty())
            search(QString());
    });
    connect(suiComboBox_Keep, &QComboBox::activated, this, &TForm_History::suiComboBox_KeepChange);
    connect(suiListView_Conversation, &QListWidget::currentItemChanged, this,
            [this](QListWidgetItem *item) { conversationChosen(item); });
    connect(suiListView_Result, &QListWidget::currentItemChanged, this,
            [this](QListWidgetItem *item) { resultChosen(item); });
    connect(suiButton_Older, &QPushButton::clicked, this, &TForm_History::suiButton_OlderClick);
    connect(suiButton_Newer, &QPushButton::clicked, this, &TForm_History::suiButton_NewerClick);
    connect(suiButton_Refresh, &QPushButton::clicked, this, &TForm_History::suiButton_RefreshClick);
    connect(suiButton_Export, &QPushButton::clicked, this, &TForm_History::suiButton_ExportClick);
    connect(suiButton_Delete, &QPushButton::clicked, this, &TForm_History::suiButton_DeleteClick);
    connect(suiButton_Close, &QPushButton::clicked, this, &QWidget::close);
    updatePageControls();
}

void TForm_History::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    suiForm_History->setGeometry(rect());
    const int border = suiForm_History->borderWidth();
    const int margin = border + 4;
    const int top = border + SkinnedFrame::TitleBarHeight + 4;
    m_body->setGeometry(margin, top, width() - 2 * margin, height() - top - margin);
}

void TForm_History::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    // The page was laid out for a window not shown yet: bring what was meant to be seen into view again.
    QTimer::singleShot(0, this, [this] { RxRichEdit_History->ensureCursorVisible(); });
}

// ---- conversations ------------------------------------------------------------------------------------------

void TForm_History::refresh()
{
    const QSignalBlocker blocker(suiListView_Conversation);
    suiListView_Conversation->clear();
    auto add = [this](const QString &title, const QString &detail, HistoryStore::Kinds kinds, const QByteArray &peer) {
        auto *item = new QListWidgetItem(title + u'\n' + detail, suiListView_Conversation);
        item->setData(KindsRole, kinds.toInt());
        item->setData(PeerRole, peer);
        item->setData(TitleRole, title);
        item->setToolTip(title);
        return item;
    };
    for (const auto &[kinds, title] :
         {std::pair{BroadcastKinds, QStringLiteral("系統廣播")}, std::pair{NoticeKinds, QStringLiteral("公告/通知")}}) {
        QListWidgetItem *item = add(title, QStringLiteral("%1 條").arg(m_history.count(kinds)), kinds, QByteArray());
        item->setBackground(QColor(236, 241, 249));
    }
    for (const HistoryStore::Conversation &conversation : m_history.conversations(ChatKinds)) {
        const QString address = oneLine(cp950::decode(conversation.peer));
        const QString nickname = oneLine(cp950::decode(conversation.nickname)).trimmed();
        add(nickname.isEmpty() ? address : nickname,
            QStringLiteral("%1 · %2 條 · %3")
                .arg(address)
                .arg(conversation.messages)
                .arg(conversation.last.toString(DateFormat)),
            ChatKinds, conversation.peer);
    }
    selectConversation(m_kinds, m_peer);
}

void TForm_History::selectConversation(HistoryStore::Kinds kinds, const QByteArray &peer)
{
    const QSignalBlocker blocker(suiListView_Conversation);
    suiListView_Conversation->setCurrentItem(nullptr);
    for (int row = 0; row < suiListView_Conversation->count(); ++row) {
        QListWidgetItem *item = suiListView_Conversation->item(row);
        if (item->data(KindsRole).toInt() == kinds.toInt() && item->data(PeerRole).toByteArray() == peer) {
            suiListView_Conversation->setCurrentItem(item);
            suiListView_Conversation->scrollToItem(item);
            return;
        }
    }
}

QString TForm_History::titleOf(HistoryStore::Kinds kinds, const QByteArray &peer) const
{
    if (kinds == BroadcastKinds)
        return QStringLiteral("系統廣播");
    if (kinds == NoticeKinds)
        return QStringLiteral("公告/通知");
    for (int row = 0; row < suiListView_Conversation->count(); ++row) {
        const QListWidgetItem *item = suiListView_Conversation->item(row);
        if (item->data(KindsRole).toInt() == kinds.toInt() && item->data(PeerRole).toByteArray() == peer) {
            const QString name = item->data(TitleRole).toString();
            const QString address = oneLine(cp950::decode(peer));
            return name == address ? name : QStringLiteral("%1 (%2)").arg(name, address);
        }
    }
    return oneLine(cp950::decode(peer));
}

void TForm_History::conversationChosen(QListWidgetItem *item)
{
    if (!item)
        return;
    const auto kinds = HistoryStore::Kinds::fromInt(item->data(KindsRole).toInt());
    const QByteArray peer = item->data(PeerRole).toByteArray();
    choose(kinds, peer, titleOf(kinds, peer));
    showPage(m_total - PageSize);
}

void TForm_History::choose(HistoryStore::Kinds kinds, const QByteArray &peer, const QString &title)
{
    m_kinds = kinds;
    m_peer = peer;
    m_title = title;
    m_total = hasConversation() ? m_history.count(m_kinds, m_peer) : 0;
    Panel_Conversation->setText(title);
}

void TForm_History::showPeer(const QByteArray &address)
{
    refresh();
    selectConversation(ChatKinds, address);
    choose(ChatKinds, address, titleOf(ChatKinds, address));
    showPage(m_total - PageSize);
}

// ---- the page -----------------------------------------------------------------------------------------------

void TForm_History::showPage(qint64 offset, qint64 focusId)
{
    m_offset = qBound(qint64(0), offset, qMax(qint64(0), m_total - PageSize));
    const QList<HistoryStore::Entry> entries =
        hasConversation() ? m_history.messages(m_kinds, m_peer, m_offset, PageSize) : QList<HistoryStore::Entry>();
    RxRichEdit_History->setExtraSelections({});
    RxRichEdit_History->clear();
    // Every page starts with a budget of its own: the pictures of the last page went with it.
    m_pictures = PixelBudget(PixelBudget::DocumentPixels, devicePixelRatioF());
    m_pageRtfBytes = 0;
    m_ids.clear();
    m_starts.clear();
    QTextCursor cursor(RxRichEdit_History->document());
    cursor.beginEditBlock();
    for (const HistoryStore::Entry &entry : entries)
        renderEntry(cursor, entry);
    cursor.endEditBlock();
    highlightMatches(focusId);
    updatePageControls();
}

void TForm_History::renderEntry(QTextCursor &cursor, const HistoryStore::Entry &entry)
{
    QTextDocument &document = *cursor.document();
    const bool sent = entry.direction == HistoryStore::Direction::Sent;
    if (!m_ids.isEmpty())
        cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
    m_ids.append(entry.id);
    m_starts.append(cursor.position());

    QTextBlockFormat header;
    header.setBackground(sent ? QColor(232, 245, 230) : QColor(230, 237, 248));
    header.setTopMargin(m_ids.size() > 1 ? 8 : 0);
    header.setBottomMargin(2);
    cursor.setBlockFormat(header);
    QTextCharFormat time;
    time.setForeground(QColor(105, 105, 105));
    cursor.insertText(entry.time.toString(DateFormat) + QStringLiteral("  "), time);
    QTextCharFormat name;
    name.setForeground(sent ? QColor(35, 105, 35) : QColor(30, 60, 125));
    name.setFontWeight(QFont::Bold);
    QString who;
    switch (entry.kind) {
    case HistoryStore::Kind::Broadcast:
        who = QStringLiteral("[廣播] ");
        break;
    case HistoryStore::Kind::Bulletin:
        who = QStringLiteral("[公告] ");
        break;
    case HistoryStore::Kind::Notice:
        who = QStringLiteral("[通知] ");
        break;
    case HistoryStore::Kind::Chat:
        break;
    }
    who += sent ? QStringLiteral("我 → ") + nameOf(entry.nickname, entry.peer) : nameOf(entry.nickname, entry.peer);
    cursor.insertText(who, name);

    cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
    const int bodyStart = cursor.position();
    if (entry.rtf.size() > MaxShownRtfBytes || m_pageRtfBytes + entry.rtf.size() > MaxPageRtfBytes) {
        cursor.insertText(entry.text);
        QTextCharFormat note;
        note.setForeground(QColor(150, 90, 20));
        cursor.insertText(QStringLiteral("\n（內容過長，只顯示文字）"), note);
    } else {
        m_pageRtfBytes += entry.rtf.size();
        RtfReader::insertText(cursor, entry.rtf, &m_pictures);
    }
    cursor.movePosition(QTextCursor::End);
    RichEdit::divideLongParagraphs(document, bodyStart, cursor.position());
    cursor.movePosition(QTextCursor::End);
}

int TForm_History::highlightCount() const
{
    return int(RxRichEdit_History->extraSelections().size());
}

void TForm_History::highlightMatches(qint64 focusId)
{
    QTextDocument *document = RxRichEdit_History->document();
    const qsizetype focusIndex = m_ids.indexOf(focusId);
    const int focusStart = focusIndex >= 0 ? m_starts[focusIndex] : -1;
    const int focusEnd =
        focusIndex < 0 ? -1
                       : (focusIndex + 1 < m_starts.size() ? m_starts[focusIndex + 1] : document->characterCount());
    QList<QTextEdit::ExtraSelection> marks;
    int focusMatch = -1;
    if (!m_needle.isEmpty()) {
        QTextCharFormat mark;
        mark.setBackground(QColor(255, 232, 90));
        QTextCursor found(document);
        while (marks.size() < MaxHighlights) {
            found = document->find(m_needle, found);
            if (found.isNull())
                break;
            if (focusMatch < 0 && found.selectionStart() >= focusStart && found.selectionStart() < focusEnd) {
                focusMatch = int(marks.size());
                QTextCharFormat current = mark;
                current.setBackground(QColor(255, 150, 50));
                marks.append({found, current});
            } else {
                marks.append({found, mark});
            }
        }
    }
    RxRichEdit_History->setExtraSelections(marks);

    // The hit in view, else the newest message at the bottom of the page.
    QTextCursor view(document);
    if (focusMatch >= 0)
        view.setPosition(marks[focusMatch].cursor.selectionStart());
    else if (focusStart >= 0)
        view.setPosition(focusStart);
    else
        view.movePosition(QTextCursor::End);
    RxRichEdit_History->setTextCursor(view);
    RxRichEdit_History->ensureCursorVisible();
}

void TForm_History::updatePageControls()
{
    const qint64 shown = m_ids.size();
    if (!hasConversation())
        Panel_Page->setText(QString());
    else if (m_total == 0)
        Panel_Page->setText(QStringLiteral("沒有記錄"));
    else
        Panel_Page->setText(
            QStringLiteral("第 %1–%2 條，共 %3 條").arg(m_offset + 1).arg(m_offset + shown).arg(m_total));
    suiButton_Older->setEnabled(m_offset > 0);
    suiButton_Newer->setEnabled(m_offset + shown < m_total);
    suiButton_Export->setEnabled(hasConversation() && m_total > 0);
    suiButton_Delete->setEnabled(hasConversation() && m_total > 0);
}

void TForm_History::suiButton_OlderClick()
{
    showPage(m_offset - PageSize);
}

void TForm_History::suiButton_NewerClick()
{
    showPage(m_offset + PageSize);
    // Reading on from where the last page ended.
    QTextCursor start(RxRichEdit_History->document());
    RxRichEdit_History->setTextCursor(start);
    RxRichEdit_History->ensureCursorVisible();
}

void TForm_History::suiButton_RefreshClick()
{
    refresh();
    if (hasConversation()) {
        m_total = m_history.count(m_kinds, m_peer);
        showPage(m_total - PageSize);
    }
}

// ---- search -------------------------------------------------------------------------------------------------

void TForm_History::suiButton_SearchClick()
{
    search(suiEdit_Search->text());
}

void TForm_History::search(const QString &text)
{
    if (suiEdit_Search->text() != text)
        suiEdit_Search->setText(text);
    m_needle = text.trimmed();
    QWidget *results = suiListView_Result->parentWidget();
    {
        const QSignalBlocker blocker(suiListView_Result);
        suiListView_Result->clear();
    }
    if (m_needle.isEmpty()) {
        results->hide();
        highlightMatches(0);
        return;
    }
    const QList<HistoryStore::Entry> hits = m_history.search(m_needle, HistoryStore::AllKinds, SearchLimit);
    Panel_Result->setText(hits.isEmpty()              ? QStringLiteral("找不到「%1」").arg(oneLine(m_needle))
                          : hits.size() < SearchLimit ? QStringLiteral("找到 %1 條").arg(hits.size())
                                                      : QStringLiteral("最新的 %1 條").arg(hits.size()));
    {
        const QSignalBlocker blocker(suiListView_Result);
        for (const HistoryStore::Entry &hit : hits) {
            const QString who = oneLine(cp950::decode(hit.nickname.isEmpty() ? hit.peer : hit.nickname));
            auto *item = new QListWidgetItem(
                QStringLiteral("%1 · %2\n%3").arg(who, hit.time.toString(DateFormat), snippet(hit.text, m_needle)),
                suiListView_Result);
            item->setData(IdRole, hit.id);
            item->setData(KindsRole, kindsOf(hit.kind).toInt());
            item->setData(PeerRole, hit.kind == HistoryStore::Kind::Chat ? hit.peer : QByteArray());
            item->setToolTip(oneLine(hit.text.left(400)));
        }
    }
    results->show();
    if (suiListView_Result->count() > 0)
        suiListView_Result->setCurrentRow(0);
    else
        highlightMatches(0);
}

void TForm_History::resultChosen(QListWidgetItem *item)
{
    if (!item)
        return;
    const qint64 id = item->data(IdRole).toLongLong();
    const auto kinds = HistoryStore::Kinds::fromInt(item->data(KindsRole).toInt());
    const QByteArray peer = item->data(PeerRole).toByteArray();
    selectConversation(kinds, peer);
    choose(kinds, peer, titleOf(kinds, peer));
    const qint64 position = m_history.position(kinds, peer, id);
    // Gone since the search (deleted or purged): the latest page of its conversation.
    showPage(position < 0 ? m_total - PageSize : position - PageSize / 2, position < 0 ? 0 : id);
}

// ---- export, delete, retention ------------------------------------------------------------------------------

bool TForm_History::exportTo(const QString &fileName, QString *error)
{
    if (!hasConversation())
        return false;
    return HistoryExport::write(m_history, m_kinds, m_peer, QStringLiteral("歷史記錄 - ") + m_title, fileName, error);
}

void TForm_History::suiButton_ExportClick()
{
    if (!hasConversation())
        return;
    QString name = m_peer.isEmpty() ? m_title : QString::fromLatin1(m_peer);
    name.replace(QRegularExpression(QStringLiteral("[^\\w.-]"), QRegularExpression::UseUnicodePropertiesOption),
                 QStringLiteral("_"));
    const QString fileName = QFileDialog::getSaveFileName(
        this, QStringLiteral("導出"), QDir::home().filePath(QStringLiteral("歷史記錄-%1.html").arg(name)),
        QStringLiteral("HTML (*.html *.htm)"));
    if (fileName.isEmpty())
        return;
    // A long conversation takes a while: the window shows how far it is and may stop it.
    QProgressDialog progress(QStringLiteral("正在導出…"), QStringLiteral("取消"), 0, 100, this);
    progress.setObjectName(QStringLiteral("ExportProgressDialog"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    QString error;
    bool canceled = false;
    const auto step = [&progress, &canceled](qint64 done, qint64 total) {
        progress.setValue(total > 0 ? int(done * 100 / total) : 100);
        canceled = progress.wasCanceled();
        return !canceled;
    };
    const bool written = HistoryExport::write(m_history, m_kinds, m_peer, QStringLiteral("歷史記錄 - ") + m_title,
                                              fileName, &error, step);
    progress.reset();
    if (!written && !canceled) {
        auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("導出"),
                                    QStringLiteral("無法寫入 %1：%2").arg(fileName, error), QMessageBox::Ok, this);
        box->setObjectName(QStringLiteral("ErrorMessageBox"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    }
}

void TForm_History::suiButton_DeleteClick()
{
    if (!hasConversation() || m_total == 0)
        return;
    auto *box =
        new QMessageBox(QMessageBox::Question, QStringLiteral("刪除"),
                        QStringLiteral("刪除「%1」的全部 %2 條記錄嗎？刪除後無法恢復。").arg(m_title).arg(m_total),
                        QMessageBox::Yes | QMessageBox::No, this);
    box->setObjectName(QStringLiteral("DeleteConfirmMessageBox"));
    box->setTextFormat(Qt::PlainText);
    box->setDefaultButton(QMessageBox::No);
    box->setAttribute(Qt::WA_DeleteOnClose);
    // What was asked about, even if the choice moves while the box is open.
    const HistoryStore::Kinds kinds = m_kinds;
    const QByteArray peer = m_peer;
    connect(box, &QMessageBox::finished, this, [this, kinds, peer](int result) {
        if (result != QMessageBox::Yes)
            return;
        m_history.deleteConversation(kinds, peer);
        if (kinds == m_kinds && peer == m_peer) {
            m_total = m_history.count(m_kinds, m_peer);
            showPage(0);
        }
        refresh();
        if (!m_needle.isEmpty())
            search(m_needle);
    });
    box->open();
}

void TForm_History::readKeepDays()
{
    const int days = qMax(0, settings::readInteger(m_settings, settings::SystemKey, settings::HistoryDays).value_or(0));
    m_keepDays = days;
    int index = suiComboBox_Keep->findData(days);
    if (index < 0) {
        // A number of days set elsewhere shows as it is.
        suiComboBox_Keep->addItem(QStringLiteral("%1 天").arg(days), days);
        index = suiComboBox_Keep->count() - 1;
    }
    suiComboBox_Keep->setCurrentIndex(index);
}

// Keeping less drops history for good: the user says so first, and a "no" leaves the choice as it was.
void TForm_History::suiComboBox_KeepChange(int index)
{
    const int days = suiComboBox_Keep->itemData(index).toInt();
    if (days == m_keepDays)
        return;
    if (days == 0 || (m_keepDays > 0 && days > m_keepDays)) {
        setKeepDays(days);
        return;
    }
    auto *box =
        new QMessageBox(QMessageBox::Question, QStringLiteral("保存期限"),
                        QStringLiteral("只保存 %1 天內的記錄，更早的記錄會立即刪除，且無法恢復。確定嗎？").arg(days),
                        QMessageBox::Yes | QMessageBox::No, this);
    box->setObjectName(QStringLiteral("KeepConfirmMessageBox"));
    box->setDefaultButton(QMessageBox::No);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this, [this, days](int result) {
        if (result == QMessageBox::Yes)
            setKeepDays(days);
        else
            suiComboBox_Keep->setCurrentIndex(suiComboBox_Keep->findData(m_keepDays));
    });
    box->open();
}

void TForm_History::setKeepDays(int days)
{
    days = qMax(0, days);
    m_keepDays = days;
    if (const int index = suiComboBox_Keep->findData(days); index >= 0)
        suiComboBox_Keep->setCurrentIndex(index);
    if (!settings::writeInteger(m_settings, settings::SystemKey, settings::HistoryDays, days)) {
        auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("保存期限"),
                                    QStringLiteral("無法寫入注冊表信息!"), QMessageBox::Ok, this);
        box->setObjectName(QStringLiteral("ErrorMessageBox"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    }
    if (m_history.purgeOlderThan(days) > 0) {
        refresh();
        if (hasConversation()) {
            m_total = m_history.count(m_kinds, m_peer);
            showPage(m_offset);
        }
        if (!m_needle.isEmpty())
            search(m_needle);
    }
}
