#include "dataset.h"

#include "store/datafiles.h"
#include "store/textfilewriter.h"

#include <numeric>

namespace BenchDataset {

namespace {

const QString kSep = QStringLiteral(",");

const QString kWords[] = {
    QStringLiteral("音楽"), QStringLiteral("ジャズ"), QStringLiteral("映画"), QStringLiteral("旅行"),
    QStringLiteral("料理"), QStringLiteral("写真"),   QStringLiteral("鉄道"), QStringLiteral("読書"),
    QStringLiteral("将棋"), QStringLiteral("園芸"),   QStringLiteral("天文"), QStringLiteral("歴史"),
};
constexpr int kWordCount = int(sizeof(kWords) / sizeof(kWords[0]));

const QString &word(int k)
{
    return kWords[((k % kWordCount) + kWordCount) % kWordCount];
}

// A step coprime to n, so that k * step mod n visits every index once.
int coprimeStep(int n, int from)
{
    if (n <= 1)
        return 1;
    int step = from % n;
    if (step == 0)
        step = 1;
    while (std::gcd(step, n) != 1)
        ++step;
    return step;
}

} // namespace

Dataset::Dataset(int size, int depth)
    : m_size(qBound(1, size, 32767)),
      m_depth(qMax(1, depth)),
      m_chains(qMax(1, (m_size - 1) / m_depth)),
      m_linkStep(coprimeStep(m_size - 1, 7919)),
      m_siteStep(coprimeStep(m_size, 4099))
{
}

QString Dataset::makingDate() const
{
    return QStringLiteral("2000/05/20");
}

QString Dataset::updateDate() const
{
    return QStringLiteral("2000/05/21");
}

// Sections 1.. form chains of m_depth below the root: the first of a chain
// hangs from section 0, each further one from the section before it.
qint16 Dataset::parentOf(int id) const
{
    const int position = (id - 1) % m_depth;
    return qint16(position == 0 ? 0 : id - 1);
}

Section Dataset::section(int k) const
{
    if (k == 0)
        return {0, QStringLiteral("トップ")};
    return {qint16(k), word(k) + QStringLiteral("の部屋") + QString::number(k)};
}

// Every section but the root is a child once, in a shuffled order; the last
// link repeats a child with another parent, which a first match never sees.
Link Dataset::link(int k) const
{
    if (m_size < 2)
        return {0, 0};
    if (k == m_size - 1) {
        const int child = m_size - 1;
        return {qint16(child > 1 ? 1 : 0), qint16(child)};
    }
    const int child = int((qint64(k) * m_linkStep) % (m_size - 1)) + 1;
    return {parentOf(child), qint16(child)};
}

Site Dataset::site(int k) const
{
    const int number = k + 1;
    Site site;
    site.dataNumber = qint16(number);
    site.title = word(k) + QStringLiteral("と") + word(k / 7) + QStringLiteral("のページ 第") + QString::number(number)
        + QStringLiteral("号");
    site.setumei = QStringLiteral("毎週更新している") + word(k / 3) + QStringLiteral("の話題と") + word(k / 5)
        + QStringLiteral("の記録を集めた個人のホームページです。掲示板とリンク集もあります（") + QString::number(number)
        + QStringLiteral("）");
    site.link = QStringLiteral("http://www.example.jp/~member%1/index.html").arg(number, 5, 10, QLatin1Char('0'));
    return site;
}

// Sites in a shuffled order, each to one of the three deepest sections of a
// chain, so that most paths are about m_depth names long.
Assignment Dataset::assignment(int k) const
{
    const int siteIndex = int((qint64(k) * m_siteStep) % m_size);
    int section = 0;
    if (m_size > 1) {
        const int chain = k % m_chains;
        const int position = qMax(0, m_depth - 1 - k % 3);
        section = chain * m_depth + position + 1;
        if (section > m_size - 1)
            section = m_size - 1;
    }
    return {qint16(siteIndex + 1), qint16(section)};
}

Update Dataset::update(int k) const
{
    const int number = k + 1;
    Update update;
    update.dataNumber = qint16(number);
    update.lastModified = DataFiles::dateField(QStringLiteral("2000/05/%1 %2:%3:%4")
                                                   .arg(10 + k % 10)
                                                   .arg(k % 24, 2, 10, QLatin1Char('0'))
                                                   .arg(k % 60, 2, 10, QLatin1Char('0'))
                                                   .arg((k / 60) % 60, 2, 10, QLatin1Char('0')));
    update.checkDate = DataFiles::dateField(QStringLiteral("2000/05/20"));
    update.method = QString::number(1 + k % 4);
    return update;
}

QString Dataset::sectionPath(qint16 id) const
{
    QString path = section(id).name;
    for (int k = id; k != 0;) {
        k = parentOf(k);
        path = section(k).name + QStringLiteral(" -> ") + path;
    }
    return path;
}

void Dataset::writeInputs(const QString &dir) const
{
    const QString end = QStringLiteral("\"<END>\"");
    {
        TextFileWriter out(dir + QStringLiteral("/all-info.idf"), TextFileWriter::Mode::Write);
        out.writeTextLine(makingDate());
        for (int block = 0; block < 4; ++block)
            out.writeTextLine(QString::number(m_size));
        for (int k = 0; k < m_size; ++k) {
            const Section s = section(k);
            out.writeTextLine(QString::number(s.id) + kSep + s.name);
        }
        out.writeTextLine(end);
        for (int k = 0; k < m_size; ++k) {
            const Link l = link(k);
            out.writeTextLine(QString::number(l.parent) + kSep + QString::number(l.child));
        }
        out.writeTextLine(end);
        for (int k = 0; k < m_size; ++k) {
            const Site s = site(k);
            out.writeTextLine(QString::number(s.dataNumber) + kSep + s.title + kSep + s.setumei + kSep + s.link);
        }
        out.writeTextLine(end);
        for (int k = 0; k < m_size; ++k) {
            const Assignment a = assignment(k);
            out.writeTextLine(QString::number(a.dataNumber) + kSep + QString::number(a.sectionId));
        }
        out.writeTextLine(end);
        out.close();
    }
    TextFileWriter out(dir + QStringLiteral("/update.idf"), TextFileWriter::Mode::Write);
    out.writeTextLine(updateDate());
    for (int k = 0; k < m_size; ++k) {
        const Update u = update(k);
        out.writeTextLine(QString::number(u.dataNumber) + kSep + u.lastModified + kSep + u.checkDate + kSep + u.method);
    }
    out.close();
}

} // namespace BenchDataset
