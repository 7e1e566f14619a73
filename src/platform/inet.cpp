#include "platform/inet.h"

#include "platform/runerror.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTimer>
#include <QUrl>

namespace {

const char *const kDefaultCodec = "windows-31j";
// What the reply may hold unread between two of our reads.
const qint64 kReadBuffer = 1024 * 1024;
const int kMaxRedirects = 20;

bool isRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Servers that say Shift_JIS nearly always mean the Windows code page; the
// strict table would turn its extra characters into replacement marks.
bool isShiftJisName(const QByteArray &name)
{
    static const QByteArrayList names = {"shift_jis",   "shift-jis", "sjis",  "x-sjis",     "ms_kanji",   "csshiftjis",
                                         "windows-31j", "cp932",     "ms932", "x-ms-cp932", "windows-932"};
    return names.contains(name.toLower());
}

QByteArray charsetIn(const QByteArray &text, const QRegularExpression &pattern)
{
    const QRegularExpressionMatch match = pattern.match(QString::fromLatin1(text));
    return match.hasMatch() ? match.captured(1).toLatin1() : QByteArray();
}

// Failures that leave no complete response: nothing reached us, or the
// connection broke before the body was whole.
bool isTransferFailure(QNetworkReply::NetworkError error)
{
    const int code = int(error);
    if (code >= 1 && code <= 199)
        return error != QNetworkReply::ProxyAuthenticationRequiredError;
    return error == QNetworkReply::ProtocolUnknownError || error == QNetworkReply::ProtocolFailure;
}

// Why a reply brought no response. Through a proxy, a host that cannot be
// reached is the proxy itself.
QString failureOf(const QNetworkReply &reply, bool viaProxy)
{
    if (viaProxy
        && (reply.error() == QNetworkReply::ConnectionRefusedError
            || reply.error() == QNetworkReply::HostNotFoundError))
        return QStringLiteral("プロキシを使えません");
    switch (reply.error()) {
    case QNetworkReply::TimeoutError:
    case QNetworkReply::ProxyTimeoutError:
        return QStringLiteral("タイムアウト");
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::UnknownProxyError:
        return QStringLiteral("プロキシを使えません");
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("サーバーが見つかりません");
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("サーバーに接続できません");
    default:
        return QStringLiteral("通信エラー：") + reply.errorString();
    }
}

// Failures to reach the server or the proxy at all: after a boot or a resume
// the network is often not up yet, so a later try may well get through.
bool isUnreachable(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
        return true;
    default:
        return false;
    }
}

// Now and then a connection closed early is reported as a success; a body
// shorter than its declared length is not the page.
bool isCutShort(const QNetworkReply &reply, qint64 received)
{
    bool ok = false;
    const qint64 declared = reply.rawHeader("Content-Length").trimmed().toLongLong(&ok);
    return ok && received < declared;
}

// Plain bodies only are asked for: a compressed one cut short or corrupt
// would pass for a whole page.
bool isEncoded(const QNetworkReply &reply)
{
    const QByteArray coding = reply.rawHeader("Content-Encoding").trimmed().toLower();
    return !coding.isEmpty() && coding != "identity";
}

} // namespace

Inet::Inet(QObject *parent)
    : QObject(parent),
      m_manager(new QNetworkAccessManager(this)),
      m_proxy(QNetworkProxy::NoProxy)
{
    m_manager->setProxy(m_proxy);
}

Inet::~Inet()
{
    abandonReply();
}

void Inet::setProxy(const QString &proxy)
{
    static const QRegularExpression pattern(
        QStringLiteral("^(?:http://)?(\\[[0-9A-Fa-f:.]+\\]|[A-Za-z0-9._-]+):([0-9]{1,5})/?$"),
        QRegularExpression::CaseInsensitiveOption);

    const QString text = proxy.trimmed();
    m_proxyValid = true;
    if (text.isEmpty()) {
        m_proxy = QNetworkProxy(QNetworkProxy::NoProxy);
    } else {
        const QRegularExpressionMatch match = pattern.match(text);
        const int port = match.hasMatch() ? match.captured(2).toInt() : 0;
        if (port < 1 || port > 65535) {
            m_proxyValid = false;
            m_proxy = QNetworkProxy(QNetworkProxy::NoProxy);
        } else {
            QString host = match.captured(1);
            if (host.startsWith(QLatin1Char('[')))
                host = host.mid(1, host.size() - 2);
            m_proxy = QNetworkProxy(QNetworkProxy::HttpProxy, host, quint16(port));
        }
    }
    m_manager->setProxy(m_proxy);
}

void Inet::Execute(const QString &url, const QString &operation)
{
    abandonReply();
    ++m_generation;
    clearResult();

    const QUrl target(url, QUrl::StrictMode);
    const QString scheme = target.scheme().toLower();
    m_protocol = (scheme == QLatin1String("http") || scheme == QLatin1String("https")) ? icHTTP : icUnknown;
    if (operation.compare(QLatin1String("GET"), Qt::CaseInsensitive) != 0 || !target.isValid()
        || target.host().isEmpty() || m_protocol != icHTTP) {
        failLater(QStringLiteral("URLが正しくありません"));
        return;
    }
    if (!m_proxyValid) {
        failLater(QStringLiteral("プロキシを使えません"));
        return;
    }

    m_redirects = 0;
    startRequest(target);
}

void Inet::startRequest(const QUrl &target)
{
    QNetworkRequest request(target);
    // HTTP/1.1 keeps the status line in the form callers cut the code from.
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    // Redirects are followed here, so that the header block is the final
    // response's alone.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setRawHeader("Accept-Encoding", "identity");

    QNetworkReply *reply = m_manager->get(request);
    reply->setReadBufferSize(kReadBuffer);
    m_reply = reply;
    connect(reply, &QNetworkReply::metaDataChanged, this, [this] {
        // A declared length over the limit is refused before it arrives.
        bool ok = false;
        const qint64 length = m_reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&ok);
        if (ok && length > MaxBody) {
            abandonReply();
            fail(QStringLiteral("ページが大きすぎます"));
        }
    });
    connect(reply, &QNetworkReply::readyRead, this, &Inet::readBody);
    connect(reply, &QNetworkReply::finished, this, &Inet::finishReply);
}

void Inet::readBody()
{
    if (!m_reply)
        return;
    m_body += m_reply->readAll();
    if (m_body.size() > MaxBody) {
        abandonReply();
        fail(QStringLiteral("ページが大きすぎます"));
    }
}

void Inet::finishReply()
{
    readBody();
    QNetworkReply *reply = m_reply;
    if (!reply)
        return; // the body went over the limit and was abandoned
    m_reply = nullptr;
    reply->disconnect(this);
    reply->deleteLater();

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid() || isTransferFailure(reply->error())) {
        fail(failureOf(*reply, m_proxy.type() != QNetworkProxy::NoProxy), isUnreachable(reply->error()));
        return;
    }
    if (isCutShort(*reply, m_body.size())) {
        fail(QStringLiteral("ページが途中で切れました"));
        return;
    }
    if (isRedirect(status.toInt()) && reply->hasRawHeader("Location")) {
        const QUrl from = reply->url();
        const QUrl to = from.resolved(QUrl::fromEncoded(reply->rawHeader("Location")));
        const QString scheme = to.scheme().toLower();
        const bool downgrade = from.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0
            && scheme == QLatin1String("http");
        m_body = QByteArray();
        if (++m_redirects > kMaxRedirects) {
            fail(QStringLiteral("転送が多すぎます"));
            return;
        }
        if (!to.isValid() || to.host().isEmpty() || downgrade
            || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
            fail(QStringLiteral("転送先を使えません"));
            return;
        }
        startRequest(to);
        return;
    }

    if (status.toInt() == 200 && isEncoded(*reply)) {
        fail(QStringLiteral("圧縮されたページは読めません"));
        return;
    }

    QString header = QStringLiteral("HTTP/1.1 ") + QString::number(status.toInt()) + QLatin1Char(' ')
        + QString::fromLatin1(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray())
        + QStringLiteral("\r\n");
    for (const QNetworkReply::RawHeaderPair &pair : reply->rawHeaderPairs())
        header += QString::fromLatin1(pair.first) + QStringLiteral(": ") + QString::fromLatin1(pair.second)
            + QStringLiteral("\r\n");
    m_header = header;
    m_text = decodeBody(m_body, reply->rawHeader("Content-Type"));
    m_body = QByteArray();
    m_chunkPos = 0;
    emit StateChanged(icResponseCompleted);
}

void Inet::failLater(const QString &why)
{
    QTimer::singleShot(0, this, [this, why, generation = m_generation] {
        if (generation != m_generation)
            return; // cancelled or replaced meanwhile
        fail(why);
    });
}

void Inet::fail(const QString &why, bool unreachable)
{
    clearResult();
    m_failure = why;
    m_unreachable = unreachable;
    emit StateChanged(icError);
}

QString Inet::GetChunk(int size, int dataType)
{
    if (dataType != icString || size < 1)
        throw RunError(RunError::InvalidArgument, QStringLiteral("GetChunk(%1, %2)").arg(size).arg(dataType));
    const QString piece = m_text.mid(m_chunkPos, size);
    m_chunkPos += piece.size();
    return piece;
}

void Inet::Cancel()
{
    abandonReply();
    ++m_generation;
    clearResult();
}

void Inet::abandonReply()
{
    if (!m_reply)
        return;
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
}

void Inet::clearResult()
{
    m_body = QByteArray();
    m_header.clear();
    m_text.clear();
    m_failure.clear();
    m_unreachable = false;
    m_chunkPos = 0;
}

QString Inet::decodeBody(const QByteArray &body, const QByteArray &contentType)
{
    static const QRegularExpression headerCharset(QStringLiteral("charset\\s*=\\s*[\"']?\\s*([A-Za-z0-9_.:-]+)"),
                                                  QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression metaCharset(
        QStringLiteral("<meta\\b[^>]*?charset\\s*=\\s*[\"']?\\s*([A-Za-z0-9_.:-]+)"),
        QRegularExpression::CaseInsensitiveOption);

    QByteArray name = charsetIn(contentType, headerCharset);
    if (name.isEmpty())
        name = charsetIn(body.left(1024), metaCharset);
    if (name.isEmpty() || isShiftJisName(name))
        name = kDefaultCodec;
    QStringDecoder decoder(name.constData());
    if (!decoder.isValid())
        decoder = QStringDecoder(kDefaultCodec);
    return decoder.decode(body);
}
