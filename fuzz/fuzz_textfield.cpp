// The field reader and the 16-bit number rule on any bytes.
#include "fuzzsupport.h"

#include "platform/runerror.h"
#include "store/textfilereader.h"
#include "store/textrules.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    TextFileReader reader = TextFileReader::fromBytes(bytes);
    const qsizetype chars = TextRules::decode(bytes).size();
    qsizetype fields = 0;
    while (reader.anythingLeft()) {
        const QString field = reader.readField();
        // Every field consumes at least one character: no endless reading.
        Fuzz::check(++fields <= chars, "more fields than characters");
        if (!bytes.contains('"') && !field.isEmpty()) {
            // Without quotes, what the rule splits at or trims never stays in a field.
            for (QChar c : {QChar(u','), QChar(u'\r'), QChar(u'\n')})
                Fuzz::check(!field.contains(c), "separator inside a field", field);
            for (QChar c : {field.front(), field.back()})
                Fuzz::check(c != QLatin1Char(' ') && c != QLatin1Char('\t'), "blank kept at a field's edge", field);
        }
        const double value = TextRules::leadingNumber(field);
        Fuzz::check(!std::isnan(value), "leading number is NaN", field);
        try {
            const qint16 n = TextRules::number16(field);
            Fuzz::check(std::nearbyint(value) == double(n), "16-bit number differs from its rounding", field);
        } catch (const RunError &error) {
            Fuzz::checkKnown(error);
            Fuzz::check(error.number() == RunError::Overflow, "16-bit rule failed other than with 6", field);
            const double rounded = std::nearbyint(value);
            Fuzz::check(!(rounded >= -32768.0 && rounded <= 32767.0), "6 for a number in range", field);
        }
        // A number written as a number line reads back as itself.
        if (std::isfinite(value) && std::fabs(value) < 1e15 && std::trunc(value) == value) {
            const double back = TextRules::leadingNumber(TextRules::numberLine(value));
            Fuzz::check(back == value, "number line does not read back", field);
        }
    }
    // Reading past the end is always PastEnd.
    try {
        reader.readField();
        Fuzz::fail("a field past the end");
    } catch (const RunError &error) {
        Fuzz::check(error.number() == RunError::PastEnd, "past the end is not 62");
    }
    return 0;
}
