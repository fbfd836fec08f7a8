#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <span>

// SHA-1 message digest (FIPS 180-1) of a text, returned as 40 upper-case
// hexadecimal digits. The earlier SHA (FIPS 180, "SHA-0") is available through
// HashType = htSHA; it differs only in the one-bit rotation of the message
// schedule.
//
// A window that needs digests owns one instance (object name "SHA1"). For each
// digest: Init, then HashString / Update any number of times, then Finish,
// then GetHashString. Finish wipes everything but the digest and the hash
// type, so the next digest starts with a new Init.
class TSHA : public QObject
{
    Q_OBJECT
    Q_PROPERTY(THashType HashType READ HashType WRITE SetHashType)

public:
    enum THashType : quint8 {
        htSHA1 = 0,
        htSHA = 1,
    };
    Q_ENUM(THashType)

    explicit TSHA(QObject *parent = nullptr);

    THashType HashType() const { return FHashType; }
    void SetHashType(THashType value) { FHashType = value; }

    void Init();
    void Update(const void *data, quint32 length);
    void HashString(const QByteArray &text);
    // The text's characters as 8-bit (Latin-1) bytes; a character beyond
    // Latin-1 becomes '?', as QString::toLatin1 does.
    void HashString(const QString &text);
    void Finish();
    QString GetHashString() const;

    // Read-only views of the internal fields.
    std::span<const quint32, 5> State() const { return FState; }
    std::span<const quint32, 2> Count() const { return FCount; }
    std::span<const quint32, 16> Workspace() const { return FWorkspace; }
    std::span<const quint8, 64> Buffer() const { return FBuffer; }
    std::span<const quint8, 20> Digest() const { return FDigest; }

private:
    void Transform();

    // One 64-byte block of the compression function, for one hash type.
    template <THashType T>
    static void TransformBlock(quint32 *state, quint32 *ws);

    static quint32 Rol(quint32 value, int bits);
    static quint32 Blk0(quint32 *ws, int i);
    template <THashType T>
    static quint32 Blk(quint32 *ws, int i);

    static void R0(quint32 *ws, quint32 v, quint32 &w, quint32 x, quint32 y, quint32 &z, int i);
    template <THashType T>
    static void R1(quint32 *ws, quint32 v, quint32 &w, quint32 x, quint32 y, quint32 &z, int i);
    template <THashType T>
    static void R2(quint32 *ws, quint32 v, quint32 &w, quint32 x, quint32 y, quint32 &z, int i);
    template <THashType T>
    static void R3(quint32 *ws, quint32 v, quint32 &w, quint32 x, quint32 y, quint32 &z, int i);
    template <THashType T>
    static void R4(quint32 *ws, quint32 v, quint32 &w, quint32 x, quint32 y, quint32 &z, int i);

    quint32 FState[5] = {};
    quint32 FCount[2] = {}; // bit count, low word first
    quint32 FWorkspace[16] = {};
    quint8 FBuffer[64] = {};
    quint8 FDigest[20] = {};
    THashType FHashType = htSHA1;
};
