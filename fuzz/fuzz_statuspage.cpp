// The daily status page parser on any page, decoded as the transfer would.
#include "fuzzsupport.h"

#include "platform/inet.h"
#include "remote/statuspage.h"

namespace {

constexpr QStringView kColourTag = u"<FONT COLOR='#";
constexpr QStringView kDateTag = u"<FONT Size=2>";
// The least a record that writes a file takes of its page: its colour tag,
// a "(" and a digit, and its date tag. Records never share characters.
constexpr qsizetype kShortestWriting = 14 + 2 + 13;

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte picks the code carried in and the declared charset.
    const qint16 carried = qint16(data[0] % 6);
    static const QByteArray types[] = {"", "text/html; charset=Shift_JIS", "text/html; charset=utf-8",
                                       "text/html; charset=x-unknown", "text/html; charset=EUC-JP"};
    const QByteArray type = types[(data[0] / 6) % 5];
    const QByteArray body(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const QString page = Inet::decodeBody(body, type);

    const StatusPage::Page parsed = StatusPage::parse(page, carried);
    Fuzz::check(parsed.methodCode >= 0 && parsed.methodCode <= 5, "carried code out of range");
    // The code carried on is the last record's, or the one carried in.
    const qint16 last = parsed.records.isEmpty() ? carried : parsed.records.constLast().methodCode;
    Fuzz::check(parsed.methodCode == last, "carried code is not the last record's");
    qsizetype writing = 0;
    for (const StatusPage::Record &record : parsed.records) {
        Fuzz::check(record.numberText.size() <= 6, "number text longer than 6");
        Fuzz::check(record.lastModified.size() <= 19, "date text longer than 19");
        Fuzz::check(record.methodCode >= 0 && record.methodCode <= 5, "record code out of range");
        if (!record.skipped.isEmpty())
            continue;
        ++writing;
        // A record that writes a file has a number that starts as one, and a
        // date-time that reads back as one field of the update-state file.
        const QStringView number = record.numberText;
        const QStringView digits = number.startsWith(QLatin1Char('-')) ? number.mid(1) : number;
        Fuzz::check(!digits.isEmpty() && isDigit(digits.front()), "a written record without a number",
                    record.numberText);
        for (QChar c : {QChar(u'\r'), QChar(u'\n'), QChar(u','), QChar(u'"')})
            Fuzz::check(!record.lastModified.contains(c), "a written date that cannot read back", record.lastModified);
    }
    // Every colour tag starts one record, skipped or not; one that writes a
    // file also needs a date tag and a number of its own.
    Fuzz::check(parsed.records.size() <= QStringView(page).count(kColourTag), "more records than colour tags");
    Fuzz::check(writing <= QStringView(page).count(kDateTag), "more written records than date tags");
    Fuzz::check(writing <= page.size() / kShortestWriting, "more written records than the page can hold");
    return 0;
}
