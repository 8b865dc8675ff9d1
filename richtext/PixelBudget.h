#pragma once

#include <QtGlobal>

// The pixels the pictures read into one place may keep together: a document, or a window that holds many
// documents (each keeps one budget across all it shows). Pictures beyond it are shown as placeholders, so a
// peer cannot make Parlune keep more than this whatever it sends.
class PixelBudget final
{
public:
    // What one document may keep when its caller gives no budget of its own.
    static constexpr qint64 DocumentPixels = qint64(64) * 1024 * 1024;

    explicit PixelBudget(qint64 limit = DocumentPixels, qreal devicePixelRatio = 1.0);

    qint64 limit() const { return m_limit; }
    qint64 spent() const { return m_spent; }
    qint64 remaining() const { return m_limit - m_spent; }
    bool allows(qint64 pixels) const { return pixels >= 0 && pixels <= remaining(); }

    // Records pixels kept; false (and nothing recorded) when they do not fit.
    bool charge(qint64 pixels);
    // Gives back what pictures no longer shown had been charged, e.g. when a window drops old messages.
    void refund(qint64 pixels);

    // Pictures are kept at the size they are shown times this ratio, so they stay sharp on dense screens.
    qreal devicePixelRatio() const { return m_devicePixelRatio; }
    void setDevicePixelRatio(qreal ratio);

private:
    qint64 m_limit;
    qint64 m_spent = 0;
    qreal m_devicePixelRatio = 1.0;
};
