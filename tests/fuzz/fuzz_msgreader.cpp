// Any byte stream, cut into any pieces, through the message reader: it hands
// out exactly the stream's lines, in order, skipping only empty lines and
// lines longer than its limit; and no field text, however odd, makes a risk
// command other than the one asked for.
#include "FuzzCheck.h"
#include "core/VoxError.h"
#include "net/RiskCommand.h"
#include "net/VoxMsg.h"

#include <QStringList>
#include <climits>

namespace {
// Hands out the stream in pieces whose sizes repeat a short pattern.
class PieceConnection : public voxMsgConnection
{
public:
    PieceConnection(QByteArray stream, QList<int> sizes)
        : m_stream(std::move(stream)), m_sizes(std::move(sizes)) {}

    bool isEstablished() const override { return true; }
    qint64 send(const QByteArray &data) override { return data.size(); }
    QByteArray receive(qint64 maxBytes) override
    {
        const qint64 size = qMin<qint64>(maxBytes, m_sizes.at(m_next++ % m_sizes.size()));
        const QByteArray piece = m_stream.mid(m_at, size);
        m_at += piece.size();
        return piece;
    }
    bool exhausted() const { return m_at >= m_stream.size(); }

private:
    QByteArray m_stream;
    QList<int> m_sizes;
    qsizetype m_at = 0;
    qsizetype m_next = 0;
};

void checkFraming(const QByteArray &stream, qint64 maxLine, const QList<int> &sizes)
{
    PieceConnection connection(stream, sizes);
    voxMsgReader reader(&connection);
    reader.setMaxLineLength(maxLine);

    QList<QByteArray> got;
    for (;;) {
        bool receiveAllowed = true;
        const QByteArray message = reader.nextMessage(receiveAllowed);
        // The part of the buffer still waiting for its line end never
        // outgrows the limit.
        const QByteArray &buffer = reader.buffer();
        FUZZ_CHECK(buffer.size() - (buffer.lastIndexOf('\n') + 1) <= maxLine);
        if (!message.isEmpty())
            got << message;
        else if (connection.exhausted() && receiveAllowed)
            break;
    }
    for (QByteArray rest = reader.getMessageFromBuffer(); !rest.isEmpty();
         rest = reader.getMessageFromBuffer())
        got << rest;

    // The reader drops a line when, at the end of a received piece, more
    // than maxLine of its bytes are waiting without their LF; every other
    // non-empty line comes out whole, one CR before its LF removed.
    QList<qsizetype> pieceEnds;
    for (qsizetype at = 0, i = 0; at < stream.size(); ++i) {
        at = qMin(stream.size(), at + sizes.at(i % sizes.size()));
        pieceEnds << at;
    }
    QList<QByteArray> expected;
    int dropped = 0;
    qsizetype piece = 0;
    for (qsizetype start = 0; start < stream.size();) {
        qsizetype lf = stream.indexOf('\n', start);
        const bool ended = lf >= 0;
        if (!ended)
            lf = stream.size();
        // The last piece that ends inside this line, before its LF.
        while (piece + 1 < pieceEnds.size() && pieceEnds.at(piece + 1) <= lf)
            ++piece;
        const qsizetype waiting = pieceEnds.at(piece) <= lf ? pieceEnds.at(piece) - start : 0;
        if (waiting > maxLine) {
            ++dropped;
        } else if (ended) {
            QByteArray line = stream.mid(start, lf - start);
            if (line.endsWith('\r'))
                line.chop(1);
            if (!line.isEmpty())
                expected << line;
        }
        start = lf + 1;
    }
    FUZZ_CHECK(got == expected);
    FUZZ_CHECK(reader.droppedLines() == dropped);
}

bool sendable(const QString &field)
{
    for (QChar c : field) {
        const ushort u = c.unicode();
        if (u == '|' || u < 0x20 || u == 0x7F || u > 0xFF)
            return false;
    }
    return true;
}

// Six fields taken from the stream (separated by 0x1E) as a risk command.
void checkCommand(const QByteArray &stream)
{
    QStringList fields = QString::fromLatin1(stream).split(QChar(0x1E));
    while (fields.size() < 6)
        fields << QString();
    fields = fields.mid(0, 6);
    // Each field but the verb fits a column of riskman_file.
    const int widths[6] = {INT_MAX, voxRisk::AttributeWidth, voxRisk::ValueWidth,
                           voxRisk::TargetWidth, voxRisk::ReceiverTypeWidth,
                           voxRisk::ReceiverIdWidth};
    bool allSendable = true;
    for (int i = 0; i < 6; ++i)
        allSendable = allSendable && sendable(fields[i]) && fields[i].size() <= widths[i];

    QString command;
    try {
        command = riskCommand(fields[0], fields[1], fields[2], fields[3], fields[4], fields[5]);
    } catch (const VoxError &) {
        FUZZ_CHECK(!allSendable);
        return;
    }
    FUZZ_CHECK(allSendable);
    FUZZ_CHECK(command.count('|') == 6 && command.endsWith('|'));

    // Sent as one line, the command arrives as exactly that one line.
    PieceConnection connection(command.toLatin1() + "\r\n", {7});
    voxMsgReader reader(&connection);
    bool receiveAllowed = true;
    QByteArray message;
    while (message.isEmpty() && !connection.exhausted()) {
        receiveAllowed = true;
        message = reader.nextMessage(receiveAllowed);
    }
    FUZZ_CHECK(message == command.toLatin1());
    receiveAllowed = false;
    FUZZ_CHECK(reader.nextMessage(receiveAllowed).isEmpty() && reader.buffer().isEmpty());

    const ParsedRiskCommand parsed = parseRiskCommand(command);
    const bool known = fields[0] == QLatin1String(voxRisk::Set)
        || fields[0] == QLatin1String(voxRisk::Unset);
    FUZZ_CHECK(parsed.valid == known);
    if (known) {
        FUZZ_CHECK(parsed.set == (fields[0] == QLatin1String(voxRisk::Set)));
        FUZZ_CHECK(parsed.key.attribute == withoutTrailingBlanks(fields[1]));
        FUZZ_CHECK(parsed.value == withoutTrailingBlanks(fields[2]));
        FUZZ_CHECK(parsed.key.target == withoutTrailingBlanks(fields[3]));
        FUZZ_CHECK(parsed.key.receiverType == withoutTrailingBlanks(fields[4]));
        FUZZ_CHECK(parsed.key.receiverId == withoutTrailingBlanks(fields[5]));
    }
}
} // namespace

// Input: one byte choosing the line limit, three bytes giving the pattern of
// piece sizes, then the stream.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 4)
        return 0;
    const qint64 maxLine = data[0] >= 0xF0 ? voxMsgReader::DefaultMaxLineLength : 1 + data[0] % 96;
    const QList<int> sizes{1 + data[1] % 40, 1 + data[2] % 40, 1 + data[3] * 64};
    const QByteArray stream(reinterpret_cast<const char *>(data) + 4, qsizetype(size - 4));

    checkFraming(stream, maxLine, sizes);
    checkCommand(stream);
    return 0;
}
