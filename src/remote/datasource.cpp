#include "remote/datasource.h"

void DataSource::setDataUrl(const QString &url)
{
    if (url == m_dataUrl)
        return;
    m_dataUrl = url;
    emit dataUrlChanged(url);
}

void DataSource::setProxy(const QString &proxy)
{
    if (proxy == m_proxy)
        return;
    m_proxy = proxy;
    emit proxyChanged(proxy);
}
