#pragma once

#include <QObject>
#include <QString>

// The data URL and proxy of this run: url.dat fills it at start-up, the
// settings window edits it, and the download reads it when it starts.
class DataSource : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    QString dataUrl() const { return m_dataUrl; }
    QString proxy() const { return m_proxy; }
    void setDataUrl(const QString &url);
    void setProxy(const QString &proxy);

signals:
    void dataUrlChanged(const QString &url);
    void proxyChanged(const QString &proxy);

private:
    QString m_dataUrl;
    QString m_proxy;
};
