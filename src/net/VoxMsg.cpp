#include "net/VoxMsg.h"

#include "net/VoxLog.h"

#include <QAbstractSocket>
#include <stdexcept>

voxSocketConnection::voxSocketConnection(QAbstractSocket *socket, qint64 sendLimit)
    : m_socket(socket)
    , m_sendLimit(sendLimit > 0 ? sendLimit : 1)
{
}

bool voxSocketConnection::isEstablished() const
{
    return m_socket->state() == QAbstractSocket::ConnectedState;
}

qint64 voxSocketConnection::send(const QByteArray &data)
{
    const qint64 room = m_sendLimit - m_socket->bytesToWrite();
    if (room <= 0)
        return -1;
    const qint64 count = qMin<qint64>(room, data.size());
    const qint64 written = m_socket->write(data.constData(), count);
    if (written < 0)
        throw std::runtime_error(m_socket->errorString().toLocal8Bit().toStdString());
    return written;
}

QByteArray voxSocketConnection::receive(qint64 maxBytes)
{
    return m_socket->read(maxBytes);
}

voxMsgWriter::voxMsgWriter(voxMsgConnection *connection)
    : m_connection(connection)
{
}

voxMsgWriter::~voxMsgWriter() = default;

quint64 voxMsgWriter::sendMessage(const QByteArray &text)
{
    const quint64 serial = ++m_lastSerial;
    m_queue.emplace_back(text, serial);
    if (!m_queue.empty() && m_connection->isEstablished())
        pushMessage();
    return serial;
}

void voxMsgWriter::pushMessage()
{
    if (!m_connection->isEstablished())
        return;
    while (!m_queue.empty()) {
        voxMsgEntry &entry = m_queue.front();
        qint64 accepted = 0;
        try {
            accepted = m_connection->send(entry.text());
        } catch (...) {
            voxLogMsg(QStringLiteral("Cannot send message: ") + QString::fromLatin1(entry.text()),
                      voxLogKind::Error);
            m_lastTaken = entry.serial();
            m_queue.pop_front();
            continue;
        }
        if (accepted <= 0)
            return;
        if (accepted >= entry.text().size()) {
            m_lastTaken = entry.serial();
            m_queue.pop_front();
            continue;
        }
        entry.consume(accepted);
        return;
    }
}

void voxMsgWriter::restart()
{
    if (!m_queue.empty() && m_queue.front().isPartlySent())
        m_queue.front().rewind();
}

voxMsgReader::voxMsgReader(voxMsgConnection *connection)
    : m_connection(connection)
{
}

voxMsgReader::~voxMsgReader() = default;

QByteArray voxMsgReader::getMessageFromBuffer()
{
    while (!m_buffer.isEmpty()) {
        const qsizetype lf = m_buffer.indexOf('\n');
        if (lf < 0)
            return {};
        qsizetype length = lf;
        if (length > 0 && m_buffer.at(length - 1) == '\r')
            --length;
        QByteArray message = m_buffer.left(length);
        m_buffer.remove(0, lf + 1);
        if (!message.isEmpty())
            return message;
    }
    return {};
}

void voxMsgReader::appendReceived(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    qsizetype from = 0;
    if (m_discarding) {
        // Still inside a line that was dropped: skip to its end.
        const qsizetype lf = bytes.indexOf('\n');
        if (lf < 0)
            return;
        m_discarding = false;
        from = lf + 1;
    }
    m_buffer.append(bytes.constData() + from, bytes.size() - from);

    // Only the part after the last LF can still be waiting for its end.
    const qsizetype lastLf = m_buffer.lastIndexOf('\n');
    const qint64 pending = m_buffer.size() - (lastLf + 1);
    if (pending > m_maxLineLength) {
        voxLogMsg(QStringLiteral("Received line longer than %1 bytes without line end dropped")
                      .arg(m_maxLineLength),
                  voxLogKind::Error);
        m_buffer.truncate(lastLf + 1);
        m_discarding = true;
        ++m_droppedLines;
    }
}

QByteArray voxMsgReader::nextMessage(bool &receiveAllowed)
{
    QByteArray message = getMessageFromBuffer();
    if (message.isEmpty() && receiveAllowed) {
        const QByteArray received = m_connection->receive(ReceiveBlock);
        if (!received.isEmpty()) {
            appendReceived(received);
            message = getMessageFromBuffer();
            receiveAllowed = false;
        }
    }
    return message;
}
