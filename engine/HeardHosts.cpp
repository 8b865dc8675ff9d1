#include "engine/HeardHosts.h"

#include <algorithm>

std::optional<HeardHosts::Heard> HeardHosts::find(quint32 address) const
{
    const auto it = m_hosts.find(address);
    return it == m_hosts.end() ? std::nullopt : std::optional<Heard>(it->second);
}

HeardHosts::Heard &HeardHosts::entry(quint32 address)
{
    const auto it = m_hosts.find(address);
    if (it != m_hosts.end())
        return it->second;
    // Full: the host heard longest ago makes room. A scan, but only when a new host arrives at a full record.
    if (int(m_hosts.size()) >= MaxHosts) {
        const auto oldest = std::min_element(m_hosts.begin(), m_hosts.end(), [](const auto &a, const auto &b) {
            return a.second.latest() < b.second.latest();
        });
        m_hosts.erase(oldest);
    }
    return m_hosts[address];
}
