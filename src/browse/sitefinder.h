#pragma once

#include <QList>
#include <QString>
#include <QStringView>

// Finds a registered site for the browser's find box: a data number, or a
// text in a site's title, description, link URL or section paths. Finds read
// number.sdf and the description files once, as far as they need them, and
// keep the texts folded in memory, so later finds mostly scan them. Positions count from 1 in
// the order of number.sdf, as the browser pages through them.
class SiteFinder
{
public:
    explicit SiteFinder(const QString &appDir);

    struct Result
    {
        int position = 0; // 0: nothing found
        bool wrapped = false; // found only by going on from the first site
    };

    // The next site after position from (0: from the first) that the text
    // names, going on from the first site after the last one.
    Result find(const QString &text, int from);

    // Forgets what was read, so that the next find reads the files again.
    void reset();

    // Bytes held for finding (texts and positions), 0 before the first find.
    qsizetype memoryBytes() const;

    // Latin letters and digits of any width and case as lower-case ASCII.
    static QString fold(QStringView text);

private:
    void load();
    // Reads the description files up to position upTo; false when there was
    // nothing left to read.
    bool readMore(int upTo);
    int loadedSites() const { return int(m_starts.size()) - 1; }
    int positionOfOffset(qsizetype offset) const;
    Result findNumber(qint16 number, int from) const;
    Result findText(const QString &folded, int from);

    QString m_appDir;
    bool m_loaded = false;
    QList<qint16> m_numbers;
    // Each read site's folded fields, each ended by a NUL, which no query
    // holds; m_starts[k] is where the site at position k + 1 begins, and the
    // last entry is the end of what is read.
    QString m_texts;
    QList<qint32> m_starts;
};
