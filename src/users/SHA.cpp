#include "users/SHA.h"

#include <QtEndian>

#include <cstring>

namespace {

constexpr qsizetype PieceSize = 2048;

constexpr quint32 InitialState[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};

} // namespace

TSHA::TSHA(QObject *parent)
    : QObject(parent)
{
}

// ---------------------------------------------------------------------------
// Compression function. The five round kinds work on the 16-word circular
// schedule held in the workspace; the caller rotates the roles of the five
// working variables from one round to the next, so nothing is moved between
// rounds.

Q_ALWAYS_INLINE quint32 TSHA::Rol(quint32 value, int bits)
{
    return (value << bits) | (value >> (32 - bits));
}

Q_ALWAYS_INLINE quint32 TSHA::Blk0(quint32 *ws, int i)
{
    ws[i] = qFromBigEndian(ws[i]);
    return ws[i];
}

template <TSHA::THashType T>
Q_ALWAYS_INLINE quint32 TSHA::Blk(quint32 *ws, int i)
{
    const quint32 mixed = ws[(i + 13) & 15] ^ ws[(i + 8) & 15] ^ ws[(i + 2) & 15] ^ ws[i & 15];
    ws[i & 15] = T == htSHA1 ? Rol(mixed, 1) : mixed;
    return ws[i & 15];
}

Q_ALWAYS_INLINE void TSHA::R0(quint32 *ws, quint32 v, quint32 &w, quint32 x, quint32 y, quint32 &z,
                              int i)
{
    z += ((w & (x ^ y)) ^ y) + Blk0(ws, i) + 0x5A827999 + Rol(v, 5);
    w = Rol(w, 30);
}

template <TSHA::THashType T>
Q_ALWAYS_INLINE void TSHA::R1(quint32 *ws, quint32 v, quint32 &w, quint32 x, quint32 y, quint32 &z,
                              int i)
{
    z += ((w & (x ^ y)) ^ y) + Blk<T>(ws, i) + 0x5A827999 + Rol(v, 5);
    w = Rol(w, 30);
}

template <TSHA::THashType T>
Q_ALWAYS_INLINE void TSHA::R2(quint32 *ws, quint32 v, quint32 &w, quint32 x, quint32 y, quint32 &z,
                              int i)
{
    z += (w ^ x ^ y) + Blk<T>(ws, i) + 0x6ED9EBA1 + Rol(v, 5);
    w = Rol(w, 30);
}

template <TSHA::THashType T>
Q_ALWAYS_INLINE void TSHA::R3(quint32 *ws, quint32 v, quint32 &w, quint32 x, quint32 y, quint32 &z,
                              int i)
{
    z += (((w | x) & y) | (w & x)) + Blk<T>(ws, i) + 0x8F1BBCDC + Rol(v, 5);
    w = Rol(w, 30);
}

template <TSHA::THashType T>
Q_ALWAYS_INLINE void TSHA::R4(quint32 *ws, quint32 v, quint32 &w, quint32 x, quint32 y, quint32 &z,
                              int i)
{
    z += (w ^ x ^ y) + Blk<T>(ws, i) + 0xCA62C1D6 + Rol(v, 5);
    w = Rol(w, 30);
}

// Five consecutive rounds of one kind, starting at round i; after five rounds
// the working variables are back in their original roles.
#define SHA_ROUNDS5(R, i)                    \
    R(ws, a, b, c, d, e, (i) + 0);           \
    R(ws, e, a, b, c, d, (i) + 1);           \
    R(ws, d, e, a, b, c, (i) + 2);           \
    R(ws, c, d, e, a, b, (i) + 3);           \
    R(ws, b, c, d, e, a, (i) + 4)

template <TSHA::THashType T>
void TSHA::TransformBlock(quint32 *state, quint32 *ws)
{
    quint32 a = state[0];
    quint32 b = state[1];
    quint32 c = state[2];
    quint32 d = state[3];
    quint32 e = state[4];

    SHA_ROUNDS5(R0, 0);
    SHA_ROUNDS5(R0, 5);
    SHA_ROUNDS5(R0, 10);
    R0(ws, a, b, c, d, e, 15);
    R1<T>(ws, e, a, b, c, d, 16);
    R1<T>(ws, d, e, a, b, c, 17);
    R1<T>(ws, c, d, e, a, b, 18);
    R1<T>(ws, b, c, d, e, a, 19);

    SHA_ROUNDS5(R2<T>, 20);
    SHA_ROUNDS5(R2<T>, 25);
    SHA_ROUNDS5(R2<T>, 30);
    SHA_ROUNDS5(R2<T>, 35);

    SHA_ROUNDS5(R3<T>, 40);
    SHA_ROUNDS5(R3<T>, 45);
    SHA_ROUNDS5(R3<T>, 50);
    SHA_ROUNDS5(R3<T>, 55);

    SHA_ROUNDS5(R4<T>, 60);
    SHA_ROUNDS5(R4<T>, 65);
    SHA_ROUNDS5(R4<T>, 70);
    SHA_ROUNDS5(R4<T>, 75);

    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
}

#undef SHA_ROUNDS5

void TSHA::Transform()
{
    if (FHashType == htSHA)
        TransformBlock<htSHA>(FState, FWorkspace);
    else
        TransformBlock<htSHA1>(FState, FWorkspace);
}

// ---------------------------------------------------------------------------

void TSHA::Init()
{
    std::memcpy(FState, InitialState, sizeof FState);
    FCount[0] = 0;
    FCount[1] = 0;
}

void TSHA::Update(const void *data, quint32 length)
{
    if (length == 0)
        return;
    const auto *input = static_cast<const quint8 *>(data);

    quint32 j = (FCount[0] >> 3) & 63;
    const quint32 low = FCount[0] + (length << 3);
    if (low < FCount[0])
        ++FCount[1];
    FCount[0] = low;
    FCount[1] += length >> 29;

    quint32 i = 0;
    if (64 - j <= length) {
        i = 64 - j;
        std::memcpy(FBuffer + j, input, i);
        std::memcpy(FWorkspace, FBuffer, 64);
        Transform();
        for (; i + 63 < length; i += 64) {
            std::memcpy(FBuffer, input + i, 64);
            std::memcpy(FWorkspace, FBuffer, 64);
            Transform();
        }
        j = 0;
    }
    std::memcpy(FBuffer + j, input + i, length - i);
}

void TSHA::HashString(const QByteArray &text)
{
    quint8 piece[PieceSize] = {};
    const char *from = text.constData();
    qsizetype remaining = text.size();
    while (remaining > PieceSize) {
        std::memcpy(piece, from, PieceSize);
        Update(piece, PieceSize);
        from += PieceSize;
        remaining -= PieceSize;
    }
    std::memcpy(piece, from, size_t(remaining));
    Update(piece, quint32(remaining));
}

void TSHA::HashString(const QString &text)
{
    quint8 piece[PieceSize] = {};
    const QChar *from = text.constData();
    qsizetype remaining = text.size();
    for (;;) {
        const qsizetype n = qMin(remaining, PieceSize);
        for (qsizetype k = 0; k < n; ++k) {
            const char16_t ch = from[k].unicode();
            piece[k] = ch < 0x100 ? quint8(ch) : quint8('?');
        }
        Update(piece, quint32(n));
        from += n;
        remaining -= n;
        if (remaining == 0)
            break;
    }
}

void TSHA::Finish()
{
    quint8 lengthBytes[8];
    qToBigEndian(FCount[1], lengthBytes);
    qToBigEndian(FCount[0], lengthBytes + 4);

    static constexpr quint8 Padding[64] = {0x80};
    const quint32 j = (FCount[0] >> 3) & 63;
    Update(Padding, j < 56 ? 56 - j : 120 - j);
    Update(lengthBytes, sizeof lengthBytes);

    for (int k = 0; k < 20; ++k)
        FDigest[k] = quint8(FState[k >> 2] >> ((3 - (k & 3)) * 8));

    std::memset(FState, 0, sizeof FState);
    std::memset(FCount, 0, sizeof FCount);
    std::memset(FWorkspace, 0, sizeof FWorkspace);
    std::memset(FBuffer, 0, sizeof FBuffer);
}

QString TSHA::GetHashString() const
{
    static constexpr char Digits[] = "0123456789ABCDEF";
    QString text(40, Qt::Uninitialized);
    QChar *out = text.data();
    for (quint8 byte : FDigest) {
        *out++ = QLatin1Char(Digits[byte >> 4]);
        *out++ = QLatin1Char(Digits[byte & 15]);
    }
    return text;
}
