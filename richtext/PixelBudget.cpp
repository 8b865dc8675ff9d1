#include "richtext/PixelBudget.h"

#include <cmath>

namespace {

// Screens go up to 4x today; a ratio beyond that would only multiply what a peer's picture may claim.
constexpr qreal MaxDevicePixelRatio = 4.0;

} // namespace

PixelBudget::PixelBudget(qint64 limit, qreal devicePixelRatio) : m_limit(qMax<qint64>(0, limit))
{
    setDevicePixelRatio(devicePixelRatio);
}

bool PixelBudget::charge(qint64 pixels)
{
    if (!allows(pixels))
        return false;
    m_spent += pixels;
    return true;
}

void PixelBudget::refund(qint64 pixels)
{
    m_spent = qBound<qint64>(0, m_spent - qMax<qint64>(0, pixels), m_limit);
}

void PixelBudget::setDevicePixelRatio(qreal ratio)
{
    m_devicePixelRatio = std::isfinite(ratio) ? qBound(1.0, ratio, MaxDevicePixelRatio) : 1.0;
}
