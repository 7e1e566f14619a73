// The daily status page parser on any page, decoded as the transfer would.
#include "fuzzsupport.h"

#include "platform/inet.h"
#include "remote/statuspage.h"

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
    for (const StatusPage::Record &record : parsed.records) {
        Fuzz::check(record.numberText.size() <= 6, "number text longer than 6");
        Fuzz::check(record.lastModified.size() <= 19, "date text longer than 19");
        Fuzz::check(record.methodCode >= 0 && record.methodCode <= 5, "record code out of range");
    }
    // Each record needs its three tags: never more records than that allows.
    Fuzz::check(parsed.records.size() <= page.size() / 28 + 1, "more records than the page can hold");
    return 0;
}
