#pragma once

#include <QByteArray>
#include <optional>
#include <vector>

// The lobby protocol inside CMD_GAME packets, and the play that Parlune hosts add to it.
//
// Fields after the command "9": the sender's address, its nickname, the kind (1 lobby, 2 a text for the
// partner's user), then for kind 1 the action and the sender's game state (0 black, 1 white, 2 invited,
// 3 waiting with the window open, 4 idle), and in a report with state 0 to 2 the partner's address.
//
// How play stays between Parlune hosts. An older host that meets a kind other than 1 shows a message box
// about unknown game data, so nothing beyond its own packets may reach it:
//  - Parlune appends PlayMarker as one more field after the last field of every query and report it sends
//    (field 7, or field 8 after a partner address). Older hosts never read past that last field, so they
//    see their own packets; a Parlune host records the marker against the sender's address in its player list.
//  - Invitations, answers, moves and draw offers go only to an address whose entry carries the marker, and
//    travel as kind 1 with actions 2 and up, which an older host drops without a word even if a forged
//    marker sent one there. Field 6 still holds the sender's state, field 7 the game's number.
//  - Texts for the partner (kind 2) go only to a partner, and a partner is always a host listed with the
//    marker: one this host invited, or one that invited it (an invitation from any other host is dropped).
namespace GameLobby {

enum Kind : int { GAME_KIND_FIVE = 1, GAME_KIND_TEXT = 2 };

enum Action : int {
    GAME_ACTION_QUERY = 0,
    GAME_ACTION_REPORT = 1,
    // Between Parlune hosts only.
    GAME_ACTION_INVITE = 2,
    GAME_ACTION_ACCEPT = 3,
    GAME_ACTION_DECLINE = 4,
    GAME_ACTION_MOVE = 5,        // then move number, column, row (0-based)
    GAME_ACTION_DRAW_OFFER = 6,  // then the number of moves on the board when offered
    GAME_ACTION_DRAW_ANSWER = 7, // then that number and "1" to agree or "0" to refuse
};

enum State : int {
    GAME_STATE_BLACK = 0,
    GAME_STATE_WHITE = 1,
    GAME_STATE_INVITED = 2, // an invitation between this host and its partner awaits an answer
    GAME_STATE_WAITING = 3,
    GAME_STATE_IDLE = 4,
};

inline constexpr char PlayMarker[] = "Parlune-Gobang/1";

// Field n as the decimal integer an ordinary string-to-integer conversion reads (optional sign, digits).
std::optional<int> integerField(int n, const QByteArray &packet);

// At most maxBytes of a code page 950 text, cut between characters.
QByteArray boundedText(const QByteArray &text, qsizetype maxBytes);

// A query or a report (kind 1, actions 0 and 1).
struct LobbyPacket
{
    Action action = GAME_ACTION_QUERY;
    QByteArray address;
    QByteArray nickname;
    int state = GAME_STATE_WAITING;
    QByteArray partnerAddress; // sent only with states 0 to 2
    bool playMarker = false;

    QByteArray build() const;
    // Kind 1, action 0 or 1, a decimal state; nullopt otherwise.
    static std::optional<LobbyPacket> parse(const QByteArray &packet);
    bool operator==(const LobbyPacket &) const = default;
};

// Kind 2: a text for the partner's user.
struct PartnerText
{
    QByteArray address;
    QByteArray nickname;
    QByteArray text;

    QByteArray build() const;
    static std::optional<PartnerText> parse(const QByteArray &packet);
    bool operator==(const PartnerText &) const = default;
};

// Kind 1 with actions 2 and up.
struct PlayPacket
{
    Action action = GAME_ACTION_INVITE;
    QByteArray address;
    QByteArray nickname;
    int state = GAME_STATE_WAITING; // the sender's
    quint32 game = 0;
    int moveNumber = 0; // moves and draw offers and answers
    int column = 0;     // moves
    int row = 0;        // moves
    bool agree = false; // draw answers

    QByteArray build() const;
    // Every field the action needs, each a decimal in range; nullopt otherwise.
    static std::optional<PlayPacket> parse(const QByteArray &packet);
    bool operator==(const PlayPacket &) const = default;
};

// What a host without an open window answers to a query; a Parlune host marks it too.
QByteArray idleReport(const QByteArray &ownAddress, const QByteArray &ownNickname);

// The answer of a host whose game switch is off, to every game packet: a notice.
QByteArray refusalPacket();

// The partner texts, code page 950.
QByteArray leftText();        // the window closed: "對方已退出棋局!!"
QByteArray cancelledText();   // "取消": "對方取消了本次約定!!"
QByteArray resignedText();    // "認輸": "本次棋局對方已認輸!!"
QByteArray unknownGameText(); // the message box on unknown kinds
QByteArray unknownGameCaption();

// What the console does with an arriving CMD_GAME packet.
enum class Route {
    Refuse,         // the switch is off: send refusalPacket() to field 2
    UnknownKindBox, // the modal message box unknownGameText() / unknownGameCaption()
    ToWindow,       // the open window's session handles it
    IdleReport,     // no window: answer field 2 with an idle report
    Ignore,
    Malformed, // field 4 or 5 is no integer: the dispatch's error handling reports it
};
Route route(const QByteArray &packet, bool gameAgree, bool windowOpen);

// The top-level entries of the window's player list.
struct NodeData
{
    quint8 state = 0;
    QByteArray address;
    QByteArray nickname;
    QByteArray spare1; // nothing fills these
    QByteArray spare2;
};

struct PlayerEntry
{
    QByteArray caption; // code page 950: the nickname followed by "(等待)" or "(空閒)"
    NodeData data;
    bool playsParlune = false; // its reports carry the play marker
};

class PlayerList
{
public:
    // Any host can claim any address and nickname: the list and what it keeps per entry are bounded.
    static constexpr int MaxEntries = 512;
    static constexpr int MaxNicknameBytes = 64;

    static QByteArray caption(const QByteArray &nickname, int state);

    // The first entry with exactly this address, or a new empty one appended at the end; nullptr when the
    // list is full and the address is new.
    PlayerEntry *FindOrAddPlayer(const QByteArray &address);
    const PlayerEntry *find(const QByteArray &address) const;

    // A query's or report's state 3 or 4 updates its sender's entry; true when it did.
    bool update(const LobbyPacket &packet);

    const std::vector<PlayerEntry> &entries() const { return m_entries; }

private:
    std::vector<PlayerEntry> m_entries;
};

} // namespace GameLobby
