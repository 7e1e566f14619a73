#pragma once

#include <QByteArray>
#include <QNetworkProxy>
#include <QObject>
#include <QPointer>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;
class QUrl;

// The HTTP transfer control: one asynchronous GET at a time, its outcome
// reported through StateChanged, the body handed out in text pieces.
class Inet : public QObject
{
    Q_OBJECT

public:
    enum State : qint16 {
        icError = 11,
        icResponseCompleted = 12,
    };
    enum Protocol : qint16 {
        icUnknown = 0,
        icHTTP = 4, // also for https: the caller only asks "was it HTTP"
    };
    enum DataType : qint16 {
        icString = 0,
    };

    // A body beyond this is abandoned as a transfer error.
    static constexpr qint64 MaxBody = 16 * 1024 * 1024;

    explicit Inet(QObject *parent = nullptr);
    ~Inet() override;

    // "host:port" or "http://host:port"; empty is a direct connection. A text
    // that is neither turns every request into a transfer error.
    void setProxy(const QString &proxy);

    // Starts a GET and returns at once; the outcome arrives later through
    // StateChanged, also when the URL or operation is refused.
    void Execute(const QString &url, const QString &operation);
    // icHTTP when the last request went over http or https.
    qint16 Protocol() const { return m_protocol; }
    // The next piece of the decoded body, at most size characters; an empty
    // text once it is exhausted. Other data types or a size below 1: InvalidArgument.
    QString GetChunk(int size, int dataType);
    // The whole header block of the last completed response, beginning with
    // "HTTP/1.1 <code> <reason>"; empty after an error or Cancel.
    QString GetHeader() const { return m_header; }
    // Abandons the outstanding request; no StateChanged follows for it.
    void Cancel();
    // Why the last request ended in icError, in words for the log; empty
    // after a completed response.
    QString failure() const { return m_failure; }
    // Whether that failure was one to reach the server or the proxy at all
    // (refused, name not found, timed out): one worth trying again later.
    bool unreachable() const { return m_unreachable; }

    // How a body's bytes become text: the Content-Type charset, else a
    // <meta> charset in the first 1024 bytes, else windows-31j.
    static QString decodeBody(const QByteArray &body, const QByteArray &contentType);

signals:
    void StateChanged(qint16 State);

private:
    void startRequest(const QUrl &target);
    void finishReply();
    void failLater(const QString &why);
    void fail(const QString &why, bool unreachable = false);
    void readBody();
    void abandonReply();
    void clearResult();

    QNetworkAccessManager *m_manager;
    QPointer<QNetworkReply> m_reply;
    QNetworkProxy m_proxy;
    bool m_proxyValid = true;
    quint64 m_generation = 0;
    int m_redirects = 0;
    qint16 m_protocol = icUnknown;
    QByteArray m_body;
    QString m_header;
    QString m_text;
    QString m_failure;
    bool m_unreachable = false;
    qsizetype m_chunkPos = 0;
};
