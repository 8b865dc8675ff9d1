#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

// The packets of a file transfer between Parlune hosts. All travel as one packet of the command
// CMD_FILE_TRANSFER over a connection to port 3289, like every other direct packet; hosts that do not know
// the code ignore it without a word.
//
//   offer    ⟨08⟩20⟨08⟩address⟨08⟩nickname⟨08⟩1⟨08⟩offer id⟨08⟩n⟨08⟩name 1⟨08⟩size 1⟨08⟩SHA-256 1⟨08⟩…⟨08⟩
//   accept   ⟨08⟩20⟨08⟩address⟨08⟩nickname⟨08⟩2⟨08⟩offer id⟨08⟩
//   decline  ⟨08⟩20⟨08⟩address⟨08⟩nickname⟨08⟩3⟨08⟩offer id⟨08⟩
//   cancel   ⟨08⟩20⟨08⟩address⟨08⟩nickname⟨08⟩4⟨08⟩offer id⟨08⟩
//
// The address is the sender's dotted IPv4 address (where an offer's files are fetched from), the nickname
// is code page 950 text. The offer id is 32 lower-case hexadecimal digits (128 random bits) chosen by the
// host that offers; answers and cancels name it. Each offered file takes three fields: its name without
// folder (code page 950), its size in bytes (decimal) and the SHA-256 of its content (64 lower-case
// hexadecimal digits). n is the number of files, at least 1.
//
// The files themselves are fetched over a connection of their own to port 3290 of the offering host, one
// file per connection. The recipient writes one line, "PLFETCH <offer id> <file index> <start offset>\n"
// (index from 0, decimal numbers), and the offering host answers "OK <byte count>\n" followed by exactly
// that many bytes of the file from the start offset, or "NO\n" and closes. Once it has every byte and their
// SHA-256 matches, the recipient writes "DONE\n" and closes; only that receipt tells the offering host the
// file was delivered. A file therefore resumes where a broken connection stopped, even when the link broke
// after the offering host had written its last byte.
namespace TransferPacket {

enum class Kind { Offer = 1, Accept = 2, Decline = 3, Cancel = 4 };

inline constexpr int MaxFilesPerOffer = 256;
inline constexpr qint64 MaxFileSize = qint64(1) << 50;
inline constexpr int MaxRequestLine = 96;
inline constexpr char Receipt[] = "DONE\n";

struct File
{
    QByteArray name; // code page 950, as offered; never a path to use as it stands
    qint64 size = 0;
    QByteArray sha256; // lower-case hexadecimal
    friend bool operator==(const File &, const File &) = default;
};

struct Message
{
    Kind kind = Kind::Offer;
    QByteArray address;
    QByteArray nickname;
    QByteArray offerId;
    QList<File> files; // offers only
    friend bool operator==(const Message &, const Message &) = default;
};

QByteArray build(const Message &message);
// nullopt for anything that is not a well-formed transfer packet within the bounds above.
std::optional<Message> parse(QByteArrayView packet, int maxFiles = MaxFilesPerOffer);

// 128 random bits from the system's random source, as 32 hexadecimal digits.
QByteArray newOfferId();
bool isOfferId(QByteArrayView text);

struct FetchRequest
{
    QByteArray offerId;
    int index = 0;
    qint64 offset = 0;
};
QByteArray buildRequest(const FetchRequest &request);
// A request line without its "\n".
std::optional<FetchRequest> parseRequest(QByteArrayView line);
// The answer line's byte count; nullopt for "NO" or anything malformed.
std::optional<qint64> parseAnswer(QByteArrayView line);

} // namespace TransferPacket
