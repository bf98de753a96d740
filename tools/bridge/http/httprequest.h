#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <utility>
#include <variant>

namespace tarn::bridge {

// One HTTP/1.x request as the reader took it off a connection.
struct HttpRequest
{
    QByteArray method;
    QByteArray path;  // the target up to '?', as sent (no percent-decoding)
    QByteArray query; // after '?', without it
    int minorVersion = 1;
    QList<std::pair<QByteArray, QByteArray>> headers; // names in lower case, values trimmed
    QByteArray body;
    bool keepAlive = true; // the client lets the connection stay open after the answer

    // The first value of a header, by its lower-case name; empty when absent.
    QByteArray header(QByteArrayView name) const;
};

// Why a request cannot be served: the status to answer, and the reason in words. The
// connection closes after answering it.
struct Refusal
{
    int status = 400;
    QString reason;
};

// Takes HTTP/1.1 requests (and HTTP/1.0 ones) off a byte stream, one at a time, within
// fixed bounds, before any handler sees them. Pure: no socket, no clock.
//  - The head (request line and header fields) holds at most kMaxHead bytes: 431 past it.
//  - A body comes only with Content-Length, of at most kMaxBody bytes: 413 past it. A
//    chunked body is not read: 411, so that the client sends a length instead.
//  - Anything the protocol forbids that a peer could use to make two parsers disagree
//    (a field folded over lines, space before the colon, two lengths, a length beside a
//    transfer coding, a missing Host in HTTP/1.1) is 400.
class RequestReader
{
public:
    static constexpr qsizetype kMaxHead = qsizetype{8} * 1024;
    static constexpr qsizetype kMaxBody = qsizetype{4} * 1024;

    // Nothing complete yet, a request, or the reason the stream cannot be read further.
    using Result = std::variant<std::monostate, HttpRequest, Refusal>;

    void append(QByteArrayView bytes);
    Result next();
    // A byte of the next request has come (empty lines before a request count).
    bool started() const { return m_started; }
    qsizetype buffered() const { return m_buffer.size(); }

private:
    qsizetype headEnd();
    Result readHead(qsizetype end);
    Result readBody();

    QByteArray m_buffer;
    HttpRequest m_request;
    qsizetype m_scanned = 0;     // where the search for the head's end goes on
    qsizetype m_bodyLength = -1; // -1 while the head is not read yet
    bool m_started = false;
    bool m_failed = false;
};

} // namespace tarn::bridge
