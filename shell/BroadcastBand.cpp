#include "shell/BroadcastBand.h"

#include "base/Cp950.h"
#include "richtext/PixelBudget.h"
#include "richtext/RtfReader.h"
#include "widgets/RichEdit.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTextLayout>
#include <QToolButton>

namespace {

int laidOutLines(QTextDocument *document, int width)
{
    document->setTextWidth(width);
    int lines = 0;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        document->documentLayout()->blockBoundingRect(block); // makes sure the block is laid out
        lines += qMax(1, block.layout() ? block.layout()->lineCount() : 1);
    }
    return qMax(1, lines);
}

} // namespace

BroadcastBand::BroadcastBand(const QByteArray &name, const QByteArray &time, const QByteArray &body, int bodyWidth,
                             PixelBudget *pictures, QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("BroadcastBand"));
    setAutoFillBackground(true);

    m_caption = new QToolButton(this);
    m_caption->setObjectName(QStringLiteral("BandCaption"));
    m_caption->setText(QStringLiteral("昵稱:") + cp950::decode(name) + QStringLiteral(" 日期:") + cp950::decode(time));
    m_caption->setFont(QFont(QStringLiteral("Small Fonts"), 7));
    m_caption->setAutoRaise(false);
    m_caption->setFixedHeight(LineHeight - 2);
    m_caption->adjustSize();
    m_caption->move(0, 0);
    connect(m_caption, &QToolButton::clicked, this, [this] { setFolded(!m_folded); });

    // The body takes no input, so the list scrolls under the pointer and nothing can be edited.
    m_view = new QTextEdit(this);
    m_view->setObjectName(QStringLiteral("BandBody"));
    m_view->setReadOnly(true);
    m_view->setFrameShape(QFrame::NoFrame);
    m_view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_view->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_view->document()->setDocumentMargin(2);
    m_view->document()->setUndoRedoEnabled(false);
    QTextCursor cursor(m_view->document());
    const qint64 spent = pictures->spent();
    RtfReader::insertText(cursor, body, pictures);
    m_picturePixels = pictures->spent() - spent;
    RichEdit::divideLongParagraphs(*m_view->document(), 0, m_view->document()->characterCount() - 1);
    m_view->moveCursor(QTextCursor::Start);

    m_lines = laidOutLines(m_view->document(), bodyWidth);
    m_view->setGeometry(0, LineHeight, bodyWidth, unfoldedHeight() - LineHeight);
    setFixedHeight(unfoldedHeight());
}

QString BroadcastBand::caption() const
{
    return m_caption->text();
}

void BroadcastBand::setFolded(bool folded)
{
    m_folded = folded;
    m_view->setVisible(!folded);
    setFixedHeight(folded ? LineHeight : unfoldedHeight());
}
