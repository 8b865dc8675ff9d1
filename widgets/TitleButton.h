#pragma once

#include <QAbstractButton>

enum class TitleButtonKind { ControlBox, Close, Maximize, Minimize, Custom };

// A round button of a skinned title bar. Its kind gives its colour and the mark it shows when the
// mouse is over it; a custom button shows its own mark.
class TitleButton final : public QAbstractButton
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TitleButton)

public:
    static constexpr int Size = 16;

    TitleButton(TitleButtonKind kind, QWidget *parent);

    TitleButtonKind kind() const { return m_kind; }

    // A short text for a custom button's mark (one letter or symbol).
    void setGlyph(const QString &glyph);
    QString glyph() const { return m_glyph; }

    // A maximise button of a maximised window shows the restore mark; a minimise button of a rolled-up
    // window the unroll mark.
    void setAlternate(bool alternate);
    bool isAlternate() const { return m_alternate; }

    QSize sizeHint() const override { return {Size, Size}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor faceColor() const;
    void paintMark(QPainter &painter, const QRectF &face) const;

    TitleButtonKind m_kind;
    QString m_glyph;
    bool m_alternate = false;
};
