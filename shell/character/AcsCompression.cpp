#include "shell/character/AcsCompression.h"

#include <bit>
#include <cstring>
#include <vector>

namespace {

// Offsets come in four widths; each starts where the one before ends.
constexpr int OffsetBits[4] = {6, 9, 12, 20};
constexpr quint32 OffsetBase[4] = {1, 65, 577, 4673};
constexpr quint32 EndMarker = 0xFFFFF;
// A length is a run of at most eleven 1 bits; a twelfth means the stream is damaged.
constexpr int MaxLengthBits = 11;
constexpr int MaxLengthRest = (2 << MaxLengthBits) - 2;

class BitReader
{
public:
    explicit BitReader(QByteArrayView bytes)
        : m_data(reinterpret_cast<const uchar *>(bytes.data())), m_size(bytes.size())
    {
    }

    bool read(int count, quint32 &value)
    {
        while (m_available < count) {
            if (m_next >= m_size)
                return false;
            m_buffer |= quint64(m_data[m_next++]) << m_available;
            m_available += 8;
        }
        value = quint32(m_buffer & ((quint64(1) << count) - 1));
        m_buffer >>= count;
        m_available -= count;
        return true;
    }

    // The number of 1 bits before the next 0, reading at most `limit` bits; -1 at the end of the data.
    int ones(int limit)
    {
        for (int count = 0; count < limit; ++count) {
            quint32 bit = 0;
            if (!read(1, bit))
                return -1;
            if (!bit)
                return count;
        }
        return limit;
    }

private:
    const uchar *m_data;
    qsizetype m_size;
    qsizetype m_next = 0;
    quint64 m_buffer = 0;
    int m_available = 0;
};

class BitWriter
{
public:
    void write(quint32 value, int count)
    {
        m_buffer |= quint64(value & ((quint64(1) << count) - 1)) << m_used;
        m_used += count;
        while (m_used >= 8) {
            m_out.append(char(m_buffer & 0xFF));
            m_buffer >>= 8;
            m_used -= 8;
        }
    }

    // Pads with 1 bits and a few 0xFF bytes after the end marker, as the editor's files do, so that a
    // reader fetching whole words past the marker stays inside the data.
    QByteArray finish()
    {
        if (m_used > 0)
            write(0xFF, 8 - m_used);
        m_out.append(4, char(0xFF));
        return m_out;
    }

    void reserve(qsizetype size) { m_out.reserve(size); }

private:
    QByteArray m_out = QByteArray(1, '\0');
    quint64 m_buffer = 0;
    int m_used = 0;
};

bool copyBack(QByteArray &out, qsizetype &written, quint32 offset, qsizetype length)
{
    if (offset > quint64(written) || length > out.size() - written)
        return false;
    char *to = out.data() + written;
    const char *from = to - offset;
    // Byte by byte: a reference may overlap the bytes it produces.
    for (qsizetype i = 0; i < length; ++i)
        to[i] = from[i];
    written += length;
    return true;
}

void writeMatch(BitWriter &out, quint32 offset, int length)
{
    int width = 0;
    while (width < 3 && offset >= OffsetBase[width + 1])
        ++width;
    out.write(1, 1);
    // width 1 bits, then a 0 unless all three are set.
    out.write((1u << width) - 1, width);
    if (width < 3)
        out.write(0, 1);
    out.write(offset - OffsetBase[width], OffsetBits[width]);
    const quint32 rest = quint32(length - (width == 3 ? 3 : 2));
    const int bits = std::bit_width(rest + 1) - 1;
    out.write((1u << bits) - 1, bits);
    out.write(0, 1);
    out.write(rest - ((1u << bits) - 1), bits);
}

// Greedy matching over hash chains of three-byte prefixes; good enough for palette images, whose rows
// repeat a lot, and fast enough to write large characters.
class Matcher
{
public:
    static constexpr int MinLength = 3;
    static constexpr int MaxLength = 2 + MaxLengthRest;
    static constexpr qsizetype Window = 65536;
    static constexpr int ChainDepth = 48;

    explicit Matcher(QByteArrayView data)
        : m_data(reinterpret_cast<const uchar *>(data.data())), m_size(data.size()), m_head(HashSize, -1),
          m_previous(data.size(), -1)
    {
    }

    // The longest earlier occurrence of the bytes at `at`: length 0 when there is none worth a reference.
    int find(qsizetype at, quint32 &offset) const
    {
        if (m_size - at < MinLength)
            return 0;
        const int limit = int(qMin<qsizetype>(MaxLength, m_size - at));
        int best = 0;
        int depth = ChainDepth;
        for (qsizetype candidate = m_head[hash(at)]; candidate >= 0 && at - candidate <= Window && depth-- > 0;
             candidate = m_previous[candidate]) {
            int length = 0;
            while (length < limit && m_data[candidate + length] == m_data[at + length])
                ++length;
            if (length > best) {
                best = length;
                offset = quint32(at - candidate);
                if (length == limit)
                    break;
            }
        }
        return best >= MinLength ? best : 0;
    }

    void insert(qsizetype at)
    {
        if (m_size - at < MinLength)
            return;
        qsizetype &head = m_head[hash(at)];
        m_previous[at] = head;
        head = at;
    }

private:
    static constexpr int HashBits = 15;
    static constexpr int HashSize = 1 << HashBits;

    quint32 hash(qsizetype at) const
    {
        const quint32 key = m_data[at] | m_data[at + 1] << 8 | m_data[at + 2] << 16;
        return (key * 2654435761u) >> (32 - HashBits);
    }

    const uchar *m_data;
    qsizetype m_size;
    std::vector<qsizetype> m_head;
    std::vector<qsizetype> m_previous;
};

} // namespace

namespace AcsCompression {

std::optional<QByteArray> decompress(QByteArrayView data, qsizetype size)
{
    if (data.isEmpty() || data.front() != '\0' || size < 0)
        return std::nullopt;
    BitReader in(data.sliced(1));
    QByteArray out(size, Qt::Uninitialized);
    qsizetype written = 0;
    for (;;) {
        quint32 value = 0;
        if (!in.read(1, value))
            return std::nullopt;
        if (!value) {
            if (!in.read(8, value) || written >= size)
                return std::nullopt;
            out[written++] = char(value);
            continue;
        }
        const int width = in.ones(3);
        if (width < 0 || !in.read(OffsetBits[width], value))
            return std::nullopt;
        if (width == 3 && value == EndMarker)
            break;
        const quint32 offset = value + OffsetBase[width];
        const int bits = in.ones(MaxLengthBits + 1);
        if (bits < 0 || bits > MaxLengthBits || !in.read(bits, value))
            return std::nullopt;
        const qsizetype length = (width == 3 ? 3 : 2) + (qsizetype(1) << bits) - 1 + value;
        if (!copyBack(out, written, offset, length))
            return std::nullopt;
    }
    if (written != size)
        return std::nullopt;
    return out;
}

QByteArray compress(QByteArrayView data)
{
    BitWriter out;
    out.reserve(data.size() / 2 + 16);
    Matcher matcher(data);
    qsizetype at = 0;
    while (at < data.size()) {
        quint32 offset = 0;
        const int length = matcher.find(at, offset);
        if (length == 0) {
            out.write(0, 1);
            out.write(quint8(data[at]), 8);
            matcher.insert(at++);
            continue;
        }
        writeMatch(out, offset, length);
        for (const qsizetype end = at + length; at < end; ++at)
            matcher.insert(at);
    }
    out.write(1, 1);
    out.write(7, 3);
    out.write(EndMarker, 20);
    return out.finish();
}

} // namespace AcsCompression
