#include "http/httprequest.h"

#include <algorithm>

namespace tarn::bridge {
namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isTokenChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || isDigit(c) ||
           QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
}

bool isToken(QByteArrayView text)
{
    return !text.isEmpty() && std::ranges::all_of(text, isTokenChar);
}

// A field value: visible ASCII, space, tab and bytes above 0x7F, no other control byte.
bool isFieldText(QByteArrayView text)
{
    return std::ranges::all_of(text, [](char c) {
        const auto u = static_cast<uchar>(c);
        return u == '\t' || (u >= 0x20 && u != 0x7F);
    });
}

// The target in origin form: a path, then an optional query, in visible ASCII.
bool isOriginForm(QByteArrayView target)
{
    return target.startsWith('/') &&
           std::ranges::all_of(target, [](char c) { return c > 0x20 && c < 0x7F; });
}

// "HTTP/1.1" and the like: the minor version, -1 for another major version, -2 for
// something that is not a version at all.
int minorVersion(QByteArrayView version)
{
    if (version.size() != 8 || !version.startsWith("HTTP/") || !isDigit(version[5]) ||
        version[6] != '.' || !isDigit(version[7]))
        return -2;
    return version[5] == '1' ? version[7] - '0' : -1;
}

Refusal refusal(int status, const char *why)
{
    return Refusal{status, QString::fromLatin1(why)};
}

} // namespace

QByteArray HttpRequest::header(QByteArrayView name) const
{
    const auto it = std::ranges::find(headers, name, [](const auto &h) { return h.first; });
    return it == headers.end() ? QByteArray() : it->second;
}

void RequestReader::append(QByteArrayView bytes)
{
    m_started = m_started || !bytes.isEmpty();
    m_buffer.append(bytes);
}

RequestReader::Result RequestReader::next()
{
    if (m_failed)
        return {};
    if (m_bodyLength < 0) {
        // Empty lines before a request line are allowed, and skipped.
        while (m_buffer.startsWith('\n') || m_buffer.startsWith("\r\n")) {
            m_buffer.remove(0, m_buffer.indexOf('\n') + 1);
            m_scanned = 0;
        }
        const qsizetype end = headEnd();
        if (end > kMaxHead || (end < 0 && m_buffer.size() > kMaxHead)) {
            m_failed = true;
            return refusal(431, "the request's head is longer than 8192 bytes");
        }
        if (end < 0)
            return {};
        if (Result head = readHead(end); !std::holds_alternative<std::monostate>(head)) {
            m_failed = true;
            return head;
        }
    }
    return readBody();
}

// Where the head ends, after its empty line (a lone LF may end a line as well as CR LF);
// -1 while it has not come. Each byte is looked at about once, however the head arrives.
qsizetype RequestReader::headEnd()
{
    const QByteArrayView buffer(m_buffer);
    for (qsizetype at = buffer.indexOf('\n', m_scanned); at >= 0;
         at = buffer.indexOf('\n', at + 1)) {
        const QByteArrayView rest = buffer.sliced(at + 1);
        if (rest.startsWith('\n'))
            return at + 2;
        if (rest.startsWith("\r\n"))
            return at + 3;
    }
    m_scanned = std::max<qsizetype>(0, buffer.size() - 2);
    return -1;
}

// Reads the request line and the header fields; nothing when they can be served.
RequestReader::Result RequestReader::readHead(qsizetype end)
{
    QList<QByteArray> lines = m_buffer.first(end).split('\n');
    m_buffer.remove(0, end);
    m_scanned = 0;
    lines.resize(lines.size() - 2); // the empty line, and what follows its LF
    for (QByteArray &line : lines)
        line.chop(line.endsWith('\r') ? 1 : 0);
    const QList<QByteArray> parts = lines.takeFirst().split(' ');
    if (parts.size() != 3 || !isToken(parts[0]) || !isOriginForm(parts[1]))
        return refusal(400, "the request line is not METHOD /PATH HTTP/1.1");
    const int minor = minorVersion(parts[2]);
    if (minor < 0)
        return minor == -1 ? refusal(505, "only HTTP/1.0 and HTTP/1.1 are served")
                           : refusal(400, "the request line names no HTTP version");
    HttpRequest request{parts[0], parts[1], {}, std::min(minor, 1), {}, {}, minor >= 1};
    if (const qsizetype mark = request.path.indexOf('?'); mark >= 0) {
        request.query = request.path.mid(mark + 1);
        request.path.truncate(mark);
    }
    for (const QByteArray &line : std::as_const(lines)) {
        const qsizetype colon = line.indexOf(':');
        if (colon < 0 || !isToken(line.first(colon)) || !isFieldText(line))
            return refusal(400, "a header field is malformed or folded over two lines");
        request.headers.append({line.first(colon).toLower(), line.mid(colon + 1).trimmed()});
    }
    const auto count = [&](QByteArrayView name) {
        return std::ranges::count(request.headers, name, [](const auto &h) { return h.first; });
    };
    if (count("host") > 1 || (request.minorVersion == 1 && count("host") == 0))
        return refusal(400, "an HTTP/1.1 request needs exactly one Host field");
    if (count("transfer-encoding") > 0)
        return count("content-length") > 0
                   ? refusal(400, "a request has Content-Length and Transfer-Encoding both")
                   : refusal(411, "a request body needs Content-Length (chunked bodies are "
                                  "not read)");
    m_bodyLength = 0;
    for (const auto &[name, value] : std::as_const(request.headers)) {
        if (name != "content-length")
            continue;
        if (value.isEmpty() || !std::ranges::all_of(value, isDigit))
            return refusal(400, "Content-Length is not a number");
        if (value != request.header("content-length"))
            return refusal(400, "two different Content-Length fields");
        bool ok = false;
        const qulonglong length = value.toULongLong(&ok);
        if (!ok || length > qulonglong(kMaxBody))
            return refusal(413, "the request body is longer than 4096 bytes");
        m_bodyLength = qsizetype(length);
    }
    for (const QByteArray &option : request.header("connection").split(','))
        request.keepAlive = request.keepAlive && option.trimmed().toLower() != "close";
    m_request = std::move(request);
    return {};
}

RequestReader::Result RequestReader::readBody()
{
    if (m_buffer.size() < m_bodyLength)
        return {};
    m_request.body = m_buffer.first(m_bodyLength);
    m_buffer.remove(0, m_bodyLength);
    m_bodyLength = -1;
    m_started = !m_buffer.isEmpty();
    return std::exchange(m_request, {});
}

} // namespace tarn::bridge
