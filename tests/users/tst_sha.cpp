#include "support/TestMain.h"
#include "users/SHA.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>

namespace {

QString digestOf(const QByteArray &text, TSHA::THashType type = TSHA::htSHA1)
{
    TSHA sha;
    sha.SetHashType(type);
    sha.Init();
    sha.HashString(text);
    sha.Finish();
    return sha.GetHashString();
}

QString qtDigestOf(const QByteArray &text)
{
    return QString::fromLatin1(QCryptographicHash::hash(text, QCryptographicHash::Sha1).toHex().toUpper());
}

QByteArray randomBytes(QRandomGenerator &rng, qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype k = 0; k < size; ++k)
        bytes[k] = char(rng.bounded(256));
    return bytes;
}

const QByteArray TwoBlockMessage = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";

} // namespace

class TestSHA : public QObject
{
    Q_OBJECT

private slots:
    // Published test vectors
    void standardVectors_data();
    void standardVectors();
    void millionA();
    void shaZeroVectors_data();
    void shaZeroVectors();
    void hashTypeProperty();

    // Agreement with an independent implementation
    void agreesWithQtForEveryShortLength();
    void agreesWithQtForLargeTexts();
    void updateInRandomDivisions();
    void hashStringBeyondOnePiece_data();
    void hashStringBeyondOnePiece();

    // Result and state after Finish
    void digestTextBeforeAndAfterFinish();
    void finishWipesIntermediateState();
    void reusedAfterNewInit();

    // 8-bit characters
    void qstringHashedAsLatin1();
};

// ---------------------------------------------------------------------------

void TestSHA::standardVectors_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("digest");
    QTest::newRow("empty") << QByteArray() << "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709";
    QTest::newRow("abc") << QByteArray("abc") << "A9993E364706816ABA3E25717850C26C9CD0D89D";
    QTest::newRow("448-bit") << TwoBlockMessage << "84983E441C3BD26EBAAE4AA1F95129E5E54670F1";
}

void TestSHA::standardVectors()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, digest);
    QCOMPARE(digestOf(text), digest);
    QCOMPARE(digestOf(text, TSHA::htSHA1), digest);
}

void TestSHA::millionA()
{
    const QString expected = "34AA973CD4C4DAA4F61EEB2BDBAD27316534016F";
    const QByteArray text(1000000, 'a');
    QCOMPARE(digestOf(text), expected);

    TSHA sha;
    sha.Init();
    for (int k = 0; k < 1000; ++k)
        sha.Update(text.constData(), 1000);
    sha.Finish();
    QCOMPARE(sha.GetHashString(), expected);
}

void TestSHA::shaZeroVectors_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("digest");
    QTest::newRow("abc") << QByteArray("abc") << "0164B8A914CD2A5E74C4F7FF082C4D97F1EDF880";
    QTest::newRow("448-bit") << TwoBlockMessage << "D2516EE1ACFA5BAF33DFC1C471E438449EF134C8";
}

void TestSHA::shaZeroVectors()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, digest);
    QCOMPARE(digestOf(text, TSHA::htSHA), digest);
    QVERIFY(digestOf(text, TSHA::htSHA1) != digest);
}

void TestSHA::hashTypeProperty()
{
    static_assert(sizeof(TSHA::THashType) == 1);
    static_assert(TSHA::htSHA1 == 0 && TSHA::htSHA == 1);

    TSHA sha;
    QCOMPARE(sha.HashType(), TSHA::htSHA1);
    QCOMPARE(sha.property("HashType").value<TSHA::THashType>(), TSHA::htSHA1);

    QVERIFY(sha.setProperty("HashType", QVariant::fromValue(TSHA::htSHA)));
    QCOMPARE(sha.HashType(), TSHA::htSHA);
    sha.Init();
    sha.HashString(QByteArray("abc"));
    sha.Finish();
    QCOMPARE(sha.GetHashString(), QString("0164B8A914CD2A5E74C4F7FF082C4D97F1EDF880"));
    QCOMPARE(sha.HashType(), TSHA::htSHA); // kept through Finish
}

// ---------------------------------------------------------------------------

void TestSHA::agreesWithQtForEveryShortLength()
{
    // Covers every padding case: lengths 55, 56, 63, 64, 65 and the same
    // positions in later blocks.
    QRandomGenerator rng(20240611);
    for (int length = 0; length <= 300; ++length) {
        const QByteArray text = randomBytes(rng, length);
        QCOMPARE(digestOf(text), qtDigestOf(text));
    }
}

void TestSHA::agreesWithQtForLargeTexts()
{
    QRandomGenerator rng(77);
    for (qsizetype size : {qsizetype(3) << 20, (qsizetype(5) << 20) + 37, qsizetype(8000000) + 3}) {
        const QByteArray text = randomBytes(rng, size);
        QCOMPARE(digestOf(text), qtDigestOf(text));
    }
}

void TestSHA::updateInRandomDivisions()
{
    QRandomGenerator rng(4242);
    const QByteArray text = randomBytes(rng, 20000);
    const QString expected = qtDigestOf(text);

    for (int round = 0; round < 50; ++round) {
        TSHA sha;
        sha.Init();
        quint32 pos = 0;
        while (pos < quint32(text.size())) {
            // Mostly small pieces (zero included) with the occasional long one
            const quint32 limit = rng.bounded(8) == 0 ? 3000 : 130;
            const quint32 n = std::min(rng.bounded(limit + 1), quint32(text.size()) - pos);
            sha.Update(text.constData() + pos, n);
            pos += n;
        }
        sha.Finish();
        QCOMPARE(sha.GetHashString(), expected);
    }
}

void TestSHA::hashStringBeyondOnePiece_data()
{
    QTest::addColumn<int>("length");
    for (int length : {2047, 2048, 2049, 4095, 4096, 4097, 6200, 100003})
        QTest::addRow("%d", length) << length;
}

void TestSHA::hashStringBeyondOnePiece()
{
    QFETCH(int, length);
    QRandomGenerator rng{quint32(length)};
    const QByteArray text = randomBytes(rng, length);

    TSHA whole;
    whole.Init();
    whole.Update(text.constData(), quint32(text.size()));
    whole.Finish();

    QCOMPARE(digestOf(text), whole.GetHashString());
    QCOMPARE(digestOf(text), qtDigestOf(text));
    QVERIFY(digestOf(text, TSHA::htSHA) != digestOf(text));
}

// ---------------------------------------------------------------------------

void TestSHA::digestTextBeforeAndAfterFinish()
{
    TSHA sha;
    QCOMPARE(sha.GetHashString(), QString(40, QLatin1Char('0')));

    sha.Init();
    sha.HashString(QByteArray("abc"));
    QCOMPARE(sha.GetHashString(), QString(40, QLatin1Char('0'))); // not finished yet
    sha.Finish();

    const QString first = sha.GetHashString();
    QCOMPARE(first, QString("A9993E364706816ABA3E25717850C26C9CD0D89D"));
    QCOMPARE(sha.GetHashString(), first);
    QCOMPARE(sha.GetHashString(), first);

    // Digests with small bytes keep their leading zero digits
    QCOMPARE(digestOf("password276"), QString("00B65744719ECF64EC61036D4B4438706492058A"));
}

void TestSHA::finishWipesIntermediateState()
{
    for (int length : {3, 55, 56, 64, 130, 5000}) {
        TSHA sha;
        sha.Init();
        sha.HashString(QByteArray(length, 'x'));
        sha.Finish();

        const auto isZero = [](auto span) {
            return std::all_of(span.begin(), span.end(), [](auto v) { return v == 0; });
        };
        QVERIFY2(isZero(sha.State()), qPrintable(QString::number(length)));
        QVERIFY2(isZero(sha.Count()), qPrintable(QString::number(length)));
        QVERIFY2(isZero(sha.Workspace()), qPrintable(QString::number(length)));
        QVERIFY2(isZero(sha.Buffer()), qPrintable(QString::number(length)));
        QVERIFY(!isZero(sha.Digest()));
        QCOMPARE(sha.GetHashString(), qtDigestOf(QByteArray(length, 'x')));
    }
}

void TestSHA::reusedAfterNewInit()
{
    TSHA sha;
    sha.Init();
    sha.HashString(QByteArray("first text, long enough to leave bytes in the buffer of the second block"));
    sha.Finish();

    sha.Init();
    sha.HashString(QByteArray("abc"));
    sha.Finish();
    QCOMPARE(sha.GetHashString(), QString("A9993E364706816ABA3E25717850C26C9CD0D89D"));

    // An Init in the middle of a digest starts over
    sha.Init();
    sha.HashString(QByteArray(70, 'q'));
    sha.Init();
    sha.HashString(QByteArray("abc"));
    sha.Finish();
    QCOMPARE(sha.GetHashString(), QString("A9993E364706816ABA3E25717850C26C9CD0D89D"));
}

// ---------------------------------------------------------------------------

void TestSHA::qstringHashedAsLatin1()
{
    QByteArray bytes;
    for (int k = 0; k < 256; ++k)
        bytes.append(char(k));
    const QString text = QString::fromLatin1(bytes);

    TSHA sha;
    sha.Init();
    sha.HashString(text);
    sha.Finish();
    QCOMPARE(sha.GetHashString(), qtDigestOf(bytes));
    QVERIFY(sha.GetHashString() != qtDigestOf(text.toUtf8()));

    // Longer than one piece, high bytes throughout
    QString longText;
    for (int k = 0; k < 5000; ++k)
        longText.append(QChar(0x80 + k % 128));
    sha.Init();
    sha.HashString(longText);
    sha.Finish();
    QCOMPARE(sha.GetHashString(), qtDigestOf(longText.toLatin1()));

    // Empty QString is the empty message
    sha.Init();
    sha.HashString(QString());
    sha.Finish();
    QCOMPARE(sha.GetHashString(), QString("DA39A3EE5E6B4B0D3255BFEF95601890AFD80709"));

    // A character outside Latin-1 becomes '?', as toLatin1 gives it
    const QString wide = QStringLiteral("pa\u20ACss");
    sha.Init();
    sha.HashString(wide);
    sha.Finish();
    QCOMPARE(sha.GetHashString(), qtDigestOf("pa?ss"));
}

VOX_TEST_MAIN(TestSHA)
#include "tst_sha.moc"
