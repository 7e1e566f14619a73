#include "remote/newsnotice.h"

#include "store/textutil.h"

#include <QProcess>

namespace NewsNotice {

namespace {

constexpr qsizetype kTitlesShown = 5;

} // namespace

Notifier::Message message(const QList<UpdateRun::News> &news)
{
    QStringList lines;
    for (qsizetype k = 0; k < news.size() && k < kTitlesShown; ++k) {
        const UpdateRun::News &page = news.at(k);
        // An entry without a title still names its page.
        lines.append(page.title.trimmed().isEmpty() ? TextUtil::Pad6(page.dataNumber) : page.title);
    }
    if (news.size() > kTitlesShown)
        lines.append(QStringLiteral("ほか %1 件").arg(news.size() - kTitlesShown));
    return {QStringLiteral("気になるページに更新があります"), lines.join(QLatin1Char('\n')), QStringLiteral("開く")};
}

QString tell(const QList<UpdateRun::News> &news, const QString &program, std::chrono::milliseconds wait)
{
    if (news.isEmpty())
        return {};
    const Notifier::Result result = Notifier::notify(message(news), wait);
    if (!result.sent)
        return QStringLiteral("更新の通知を出せませんでした。") + result.failure;
    if (result.opened && !QProcess::startDetached(program, {QStringLiteral("--pages-list")}))
        return QStringLiteral("気になるページを開けませんでした。") + program;
    return {};
}

} // namespace NewsNotice
