#pragma once

#include <QByteArray>
#include <QString>
#include <deque>

class QAbstractSocket;

// The byte stream a writer and a reader work on. Messages are lines of
// 8-bit text; nothing here converts character sets.
class voxMsgConnection
{
public:
    virtual ~voxMsgConnection() = default;

    // True while the connection is established and may take data.
    virtual bool isEstablished() const = 0;
    // Hands bytes to the connection. Returns how many it accepted, from the
    // front of data; zero or negative when it can take nothing now. Raises
    // when the send fails.
    virtual qint64 send(const QByteArray &data) = 0;
    // Takes at most maxBytes received bytes; empty when none are waiting.
    virtual QByteArray receive(qint64 maxBytes) = 0;
};

// A connection on a Qt socket. A send is accepted only while the socket's
// own pending output stays below sendLimit bytes, so a busy link takes part
// of a message, or nothing, and the rest waits in the writer's queue.
class voxSocketConnection : public voxMsgConnection
{
public:
    static constexpr qint64 DefaultSendLimit = 64 * 1024;

    explicit voxSocketConnection(QAbstractSocket *socket, qint64 sendLimit = DefaultSendLimit);

    bool isEstablished() const override;
    qint64 send(const QByteArray &data) override;
    QByteArray receive(qint64 maxBytes) override;

    qint64 sendLimit() const { return m_sendLimit; }
    void setSendLimit(qint64 limit) { m_sendLimit = limit > 0 ? limit : 1; }

private:
    QAbstractSocket *m_socket;
    qint64 m_sendLimit;
};

// One queued outgoing message: the bytes still to be sent, line end included.
class voxMsgEntry
{
public:
    explicit voxMsgEntry(QByteArray text, quint64 serial = 0)
        : m_text(std::move(text)), m_whole(m_text), m_serial(serial) {}

    const QByteArray &text() const { return m_text; }
    // Forgets the first count bytes, which the connection has taken.
    void consume(qint64 count) { m_text.remove(0, count); }
    bool isPartlySent() const { return m_text.size() != m_whole.size(); }
    // Back to the whole message, for a new connection.
    void rewind() { m_text = m_whole; }
    // The writer's running number of the message.
    quint64 serial() const { return m_serial; }

private:
    QByteArray m_text;
    QByteArray m_whole;
    quint64 m_serial = 0;
};

// Queues outgoing messages and writes them, in order, as fast as the
// connection takes them.
class voxMsgWriter
{
public:
    explicit voxMsgWriter(voxMsgConnection *connection);
    ~voxMsgWriter();

    voxMsgWriter(const voxMsgWriter &) = delete;
    voxMsgWriter &operator=(const voxMsgWriter &) = delete;

    // Queues text (already carrying its line end) and, when the connection
    // is up, writes out the queue at once. Returns the message's running
    // number (1 for the first message of the writer).
    quint64 sendMessage(const QByteArray &text);
    // Writes as much of the queue as the connection accepts. A message the
    // connection takes only in part keeps its rest at the head of the queue;
    // a message whose send fails is logged and dropped.
    void pushMessage();
    // The connection was made anew. A message the old connection took only
    // in part goes out whole again: the receiver drops a line that never
    // got its end, and the rest alone would arrive as a corrupt line.
    void restart();

    qsizetype queuedCount() const { return qsizetype(m_queue.size()); }
    voxMsgConnection *connection() const { return m_connection; }
    // The running number of the last message that left the queue: taken
    // whole by the connection (or dropped when its send failed). Messages
    // leave in order, so every earlier one has left too.
    quint64 lastTaken() const { return m_lastTaken; }

private:
    voxMsgConnection *m_connection;
    std::deque<voxMsgEntry> m_queue;
    quint64 m_lastSerial = 0;
    quint64 m_lastTaken = 0;
};

// Collects received bytes and hands out complete messages one at a time.
// A message ends at LF; one CR before the LF is removed; empty messages are
// skipped. A line that grows beyond maxLineLength bytes without its LF is
// dropped (logged as an error) up to and including its LF, and reading
// goes on with the next line.
class voxMsgReader
{
public:
    static constexpr qint64 ReceiveBlock = 16384;
    static constexpr qint64 DefaultMaxLineLength = 1024 * 1024;

    explicit voxMsgReader(voxMsgConnection *connection);
    virtual ~voxMsgReader();

    voxMsgReader(const voxMsgReader &) = delete;
    voxMsgReader &operator=(const voxMsgReader &) = delete;

    // The next complete message in the buffer, or an empty text.
    virtual QByteArray getMessageFromBuffer();
    // The next message. When the buffer holds none and receiveAllowed is
    // set, receives once (at most ReceiveBlock bytes); clears receiveAllowed
    // when bytes arrived.
    QByteArray nextMessage(bool &receiveAllowed);

    // Appends received bytes as if they had come from the connection.
    void appendReceived(const QByteArray &bytes);

    const QByteArray &buffer() const { return m_buffer; }
    qint64 maxLineLength() const { return m_maxLineLength; }
    void setMaxLineLength(qint64 length) { m_maxLineLength = length > 0 ? length : 1; }
    // How many over-long lines were dropped so far.
    int droppedLines() const { return m_droppedLines; }

protected:
    QByteArray m_buffer;

private:
    voxMsgConnection *m_connection;
    qint64 m_maxLineLength = DefaultMaxLineLength;
    bool m_discarding = false;
    int m_droppedLines = 0;
};
