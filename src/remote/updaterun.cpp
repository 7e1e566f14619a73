#include "remote/updaterun.h"

#include "browse/newsmarks.h"
#include "browse/pagesfile.h"
#include "platform/clock.h"
#include "platform/datetext.h"
#include "platform/runerror.h"
#include "platform/settings.h"
#include "platform/settingsstore.h"
#include "remote/statuspage.h"
#include "store/datafiles.h"
#include "store/textrules.h"
#include "store/textutil.h"

#include <QDir>
#include <QHash>

namespace UpdateRun {

namespace {

const QString kLineEnd = QStringLiteral("\r\n");

// Finds the news among the records a run writes. Only the pages of interest
// count, and only their states before the run are read, once each: the other
// hundreds of records a page cost nothing more.
class NewsFinder
{
public:
    explicit NewsFinder(const QString &appDir)
        : m_appDir(appDir)
    {
        PagesFile::Contents pages;
        try {
            pages = PagesFile::read(appDir);
        } catch (const RunError &) {
            return; // no list to read: no page of interest
        }
        for (const QString &entry : std::as_const(pages.entries)) {
            const QList<qint16> number = PagesFile::pageNumbers({entry});
            if (!number.isEmpty())
                m_titles.insert(number.first(), entry.mid(7));
        }
    }

    // A record just written for the page being processed.
    void written(qint16 dataNumber, const QString &lastModified)
    {
        const auto title = m_titles.constFind(dataNumber);
        if (title == m_titles.cend() || m_found.contains(dataNumber))
            return;
        auto before = m_before.find(dataNumber);
        if (before == m_before.end())
            before = m_before.insert(dataNumber, DataFiles::readUpdateState(m_appDir, dataNumber).lastModified);
        if (NewsMarks::isLater(lastModified, *before) && !m_pending.contains(dataNumber))
            m_pending.append(dataNumber);
    }

    // The page's states are in place: what they brought is news.
    void committed()
    {
        for (qint16 number : std::as_const(m_pending)) {
            m_found.insert(number);
            m_news.append({number, m_titles.value(number)});
        }
        m_pending.clear();
    }

    const QList<News> &news() const { return m_news; }

private:
    QString m_appDir;
    QHash<qint16, QString> m_titles;
    QHash<qint16, QString> m_before;
    QList<qint16> m_pending;
    QSet<qint16> m_found;
    QList<News> m_news;
};

void markNews(const QString &appDir, const QList<News> &news, const Io &io)
{
    QList<qint16> numbers;
    for (const News &page : news)
        numbers.append(page.dataNumber);
    try {
        NewsMarks::add(appDir, numbers);
    } catch (const RunError &error) {
        // The files are written all the same; only the marks of the list are lost.
        io.appendLog(QDir::toNativeSeparators(NewsMarks::path(appDir)) + QStringLiteral(" を保存できませんでした。")
                     + error.reason() + kLineEnd);
    }
}

// The status that says a day is not published yet.
bool isMissingPage(const QString &header)
{
    return header.mid(9, 3) == QLatin1String("404");
}

} // namespace

Outcome run(const QString &appDir, const QString &dataUrl, const Io &io)
{
    Outcome outcome;
    // Before the first build there is no stored day: start from today.
    QDate day = Settings::updateDate();
    if (!day.isValid())
        day = Clock::instance().today();

    DataFiles::removeLeftovers(appDir);

    const QDate firstDay = day;
    io.setCaption(DateText::format(firstDay));

    qint16 methodCode = 0;
    // One batch for the whole run, committed page by page: the files it
    // replaces are reused for the next pages' temporaries.
    DataFiles::UpdateStateBatch states(appDir);
    NewsFinder finder(appDir);
    // Today is read on every pass, so a run that passes midnight takes in the new day.
    while (day <= Clock::instance().today()) {
        const Response response = io.requestPage(StatusPage::pageUrl(dataUrl, day));
        if (response.header.mid(9, 3) != QLatin1String("200")) {
            // The line a user knows, then why: a wrong proxy is not a day unpublished.
            QString why = response.failure;
            if (why.isEmpty() && !response.header.isEmpty())
                why = QStringLiteral("HTTP ") + response.header.section(QStringLiteral("\r\n"), 0, 0).mid(9);
            if (why.isEmpty())
                why = QStringLiteral("応答がありません");
            io.appendLog(DateText::format(day) + QStringLiteral(" 存在しません。") + kLineEnd + QStringLiteral("（")
                         + why + QStringLiteral("）") + kLineEnd);
            if (!isMissingPage(response.header))
                outcome.failure = DateText::format(day) + QStringLiteral(" のページを取得できませんでした（") + why
                    + QStringLiteral("）");
            day = Clock::addDays(day, -1);
            break;
        }
        const StatusPage::Page page = StatusPage::parse(response.body, methodCode);
        methodCode = page.methodCode;
        const QString checkDate = DateText::format(day);
        // A page's lines go to the log in one piece: nothing is shown between
        // them anyway, and a line at a time would lay the log out 400 times.
        QString lines;
        bool stopped = false;
        for (const StatusPage::Record &record : page.records) {
            if (!record.numberInRange) {
                lines += TextRules::numberText(TextRules::leadingNumber(record.numberText))
                    + QStringLiteral(" データ番号が範囲外のため飛ばしました。") + kLineEnd;
                continue;
            }
            if (!record.skipped.isEmpty()) {
                lines += record.skipped + kLineEnd;
                continue;
            }
            try {
                states.write(record.dataNumber, {record.lastModified, checkDate, record.methodCode});
            } catch (const RunError &error) {
                // This day is fetched again next time, so nothing is lost.
                outcome.failure = QDir::toNativeSeparators(DataFiles::updateStatePath(appDir, record.dataNumber))
                    + QStringLiteral(" を保存できませんでした。") + error.reason();
                lines += outcome.failure + kLineEnd;
                stopped = true;
                break;
            }
            finder.written(record.dataNumber, record.lastModified);
            lines += TextUtil::Pad6(record.dataNumber) + QStringLiteral(" 終了") + kLineEnd;
        }
        try {
            states.commit();
            finder.committed();
        } catch (const RunError &error) {
            outcome.failure = QDir::toNativeSeparators(states.failedPath())
                + QStringLiteral(" を保存できませんでした。") + error.reason();
            lines += outcome.failure + kLineEnd;
            stopped = true;
        }
        if (stopped) {
            io.appendLog(lines);
            break;
        }
        io.appendLog(lines + DateText::format(day) + QStringLiteral(" 終了") + kLineEnd);
        day = Clock::addDays(day, 1);
    }

    io.setCaption(DateText::format(firstDay) + QStringLiteral(" ->") + DateText::format(day));
    outcome.news = finder.news();
    markNews(appDir, outcome.news, io);
    if (!Settings::setUpdateDate(day)) {
        // Not "完了": the next run would start from the old day.
        outcome.failure = DateText::format(day) + QStringLiteral(" を次の開始日として保存できませんでした。（")
            + QDir::toNativeSeparators(SettingsStore::location()) + QStringLiteral("）");
        io.appendLog(outcome.failure + kLineEnd);
        return outcome;
    }
    io.appendLog(QStringLiteral("完了") + kLineEnd);
    outcome.completed = outcome.failure.isEmpty();
    return outcome;
}

} // namespace UpdateRun
