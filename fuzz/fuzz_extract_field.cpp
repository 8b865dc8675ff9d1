// Packets as they arrive from the network: every field accessor on any bytes.

#include "engine/Packet.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView packet(reinterpret_cast<const char *>(data), qsizetype(size));
    qsizetype total = 0;
    for (int n = 0; n <= 8; ++n)
        total += Packet::ExtractField(n, packet).size();
    if (total > packet.size())
        __builtin_trap();
    (void)Packet::command(packet);
    return 0;
}
