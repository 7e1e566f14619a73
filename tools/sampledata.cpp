#include "sampledata.h"

#include "browse/pagesfile.h"
#include "platform/datetext.h"
#include "platform/runerror.h"
#include "platform/settings.h"
#include "remote/statuspage.h"
#include "remote/urlfile.h"
#include "store/builder.h"
#include "store/datafiles.h"
#include "store/textfilereader.h"
#include "store/textfilewriter.h"
#include "store/textutil.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTime>

namespace SampleData {

namespace {

const QString kLineEnd = QStringLiteral("\r\n");
const QString kColours[4] = {QStringLiteral("0000FF"), QStringLiteral("00FF00"), QStringLiteral("FF0000"),
                             QStringLiteral("000000")};

// Titles, descriptions and links go through the field rules of the program,
// so none of them holds an ASCII comma or begins with a double quote, and no
// title holds the "(" that a status page puts before the data number.
struct SiteRow
{
    int number;
    const char16_t *title;
    const char16_t *description;
    const char16_t *link;
    std::initializer_list<int> sections;
};

const SiteRow kSites[] = {
    {3, u"ジャズ・コーナー", u"新譜のレビューとライブの予定を毎週お届けします", u"http://www.example.com/jazz/", {100}},
    {7, u"ピアノトリオ研究室", u"名盤の聴きどころを一枚ずつ解説しています", u"http://trio.example/", {1000, 100}},
    {12, u"ブルー・ノート通信", u"週刊のジャズ・コラムと読者の投稿", u"http://www.example.org/blue/", {100, 10}},
    {15, u"夜のスタンダード", u"スタンダード曲の由来と名演の聴き比べ", u"http://standard.example.net/", {100}},
    {18, u"交響曲のある暮らし", u"初めての人に贈るクラシック入門", u"http://www.example.com/symphony/", {101}},
    {21, u"オペラ座の客席から", u"国内外の公演の観劇記", u"http://opera.example/", {1010, 101}},
    {24, u"弦楽四重奏の部屋", u"室内楽の演奏会情報と楽曲解説", u"http://quartet.example.org/", {101}},
    {27, u"民謡めぐり", u"全国の民謡と祭り囃子を訪ね歩く記録", u"http://min-yo.example/", {102, 400}},
    {30, u"三味線日和", u"三味線の稽古日記と調弦のこつ", u"http://www.example.net/shamisen/", {102}},
    {33, u"音楽の森", u"ジャンルを問わず気になる音楽を紹介", u"http://www.example.com/mori/", {10}},
    {36, u"水彩画のアトリエ", u"水彩画の描き方を季節の題材で", u"http://suisai.example/", {110}},
    {39, u"油絵の具と私", u"油絵の制作過程を写真で公開", u"http://www.example.org/abura/", {110}},
    {42, u"美術館さんぽ", u"各地の美術館の企画展を歩いて紹介", u"http://museum.example.com/", {11, 40}},
    {45, u"モノクロ写真館", u"街角のモノクロ写真を毎日一枚", u"http://mono.example/", {111}},
    {48, u"星景写真の手引き", u"星空と風景を一緒に撮るための機材と設定", u"http://www.example.net/seikei/", {111, 210}},
    {51, u"文庫本の棚", u"読み終えた文庫本の感想を書き留めています", u"http://bunko.example.org/", {120}},
    {54, u"推理小説ノート", u"古典から新刊までの推理小説案内", u"http://www.example.com/suiri/", {120}},
    {57, u"季語の歳時記", u"季語ごとに例句を集めた歳時記", u"http://kigo.example/", {121}},
    {60, u"短歌のひろば", u"投稿短歌の選評と月例の歌会", u"http://www.example.org/tanka/", {121, 12}},
    {63, u"言葉の散歩道", u"日本語の語源と言い回しの雑記帳", u"http://kotoba.example.net/", {12}},
    {66, u"C++ 入門講座", u"はじめてのプログラムから標準ライブラリまで", u"http://cpp.example/", {2000, 200}},
    {69, u"テンプレート探検隊", u"テンプレートの仕組みを小さな例で", u"http://www.example.com/template/", {2000}},
    {72, u"スクリプト工房", u"日々の作業を楽にする小さなスクリプト集", u"http://script.example.org/", {200}},
    {75, u"アルゴリズム図鑑", u"整列や探索のアルゴリズムを図で解説", u"http://www.example.net/algo/", {200, 21}},
    {78, u"ネットワークの基礎", u"パケットの旅を順を追って説明", u"http://net.example/", {201}},
    {81, u"サーバー管理メモ", u"自宅サーバーの設定と運用の覚え書き", u"http://www.example.com/server/", {201, 20}},
    {84, u"パソコン何でも相談", u"困ったときの手順と質問の広場", u"http://pc.example.net/", {20}},
    {87, u"星空案内所", u"今月見える星座と天文現象", u"http://hoshizora.example/", {210}},
    {90, u"惑星観測日誌", u"小さな望遠鏡で見た木星と土星", u"http://www.example.org/planet/", {2100, 210}},
    {93, u"月面地図", u"月の海とクレーターの名前を地図で", u"http://moon.example.com/", {2100}},
    {96, u"野鳥のいる庭", u"庭に来る野鳥の観察記録", u"http://yacho.example/", {211, 32}},
    {99, u"昆虫のふしぎ", u"身近な昆虫の暮らしを写真で紹介", u"http://www.example.net/konchu/", {211}},
    {102, u"海の生き物図鑑", u"磯遊びで出会える生き物たち", u"http://umi.example.org/", {211}},
    {105, u"理科の実験室", u"台所でできる科学の実験", u"http://www.example.com/jikken/", {21, 2}},
    {108, u"だしの取り方", u"昆布とかつお節の合わせだしを基本から", u"http://dashi.example/", {300}},
    {111, u"季節の和食献立", u"旬の食材で作る一汁三菜", u"http://www.example.org/kondate/", {300, 30}},
    {114, u"おにぎり百選", u"全国のおにぎりの具と握り方", u"http://onigiri.example.net/", {300}},
    {117, u"パン焼き日記", u"天然酵母で焼くパンの記録", u"http://pan.example/", {301}},
    {120, u"和菓子の手帖", u"季節の和菓子と老舗の話", u"http://www.example.com/wagashi/", {301, 300}},
    {123, u"ケーキ工房", u"家庭で作れるケーキのレシピ", u"http://cake.example.org/", {301}},
    {126, u"草野球の星", u"週末の草野球チームの試合結果", u"http://kusayakyu.example/", {310}},
    {129, u"高校野球の記録", u"地方大会からの試合記録と選手名鑑", u"http://www.example.net/koko/", {310, 31}},
    {132, u"北アルプス山行記", u"槍ヶ岳と穂高連峰の縦走記録", u"http://alps.example/", {3110, 311}},
    {135, u"低山ハイク", u"日帰りで歩ける低い山の案内", u"http://www.example.org/teizan/", {311}},
    {138, u"山小屋だより", u"山小屋の営業情報と登山道の様子", u"http://yamagoya.example.com/", {3110, 40}},
    {141, u"ベランダ菜園", u"プランターで育てる野菜の記録", u"http://veranda.example/", {32}},
    {144, u"バラの庭づくり", u"つるバラの誘引と冬の剪定", u"http://www.example.net/rose/", {32}},
    {147, u"盆栽のすすめ", u"小さな鉢で楽しむ盆栽の基本", u"http://bonsai.example.org/", {32, 3}},
    {150, u"秘湯を訪ねて", u"山あいの一軒宿の温泉めぐり", u"http://hitou.example/", {400}},
    {153, u"温泉番付", u"泉質別に選んだ全国の温泉", u"http://www.example.com/onsen/", {400, 40}},
    {156, u"鈍行列車の旅", u"普通列車だけで巡る日本の旅", u"http://donko.example.net/", {401, 4010}},
    {159, u"ローカル線紀行", u"廃線が心配な路線の今を記録", u"http://local-line.example/", {4010}},
    {162, u"駅弁めぐり", u"各地の駅弁を食べ歩いた記録", u"http://www.example.org/ekiben/", {401, 30}},
    {165, u"時刻表の読み方", u"時刻表を使った旅程の組み方", u"http://jikokuhyo.example.com/", {401}},
    {168, u"ヨーロッパ鉄道旅", u"国境を越える列車の乗り方", u"http://eurail.example/", {410, 401}},
    {171, u"パリの街角", u"パリの小さな店と路地の記録", u"http://www.example.net/paris/", {410}},
    {174, u"アジア屋台めぐり", u"アジア各地の屋台料理と市場", u"http://yatai.example.org/", {411, 30}},
    {177, u"台湾の古い町", u"台湾の老街を歩いた旅行記", u"http://www.example.com/taiwan/", {411}},
    {180, u"旅の写真帖", u"旅先で撮った写真と短い文", u"http://tabi.example/", {4, 111}},
    {183, u"世界の市場", u"世界の市場の風景と食べ物", u"http://www.example.org/ichiba/", {41}},
};

const struct
{
    int id;
    int parent;
    const char16_t *name;
} kSections[] = {
    {0, 0, u"トップ"},
    {1, 0, u"芸術・文化"},
    {2, 0, u"科学・技術"},
    {3, 0, u"暮らし・趣味"},
    {4, 0, u"地域・旅行"},
    {10, 1, u"音楽"},
    {11, 1, u"美術"},
    {12, 1, u"文学"},
    {20, 2, u"コンピュータ"},
    {21, 2, u"自然科学"},
    {30, 3, u"料理"},
    {31, 3, u"スポーツ"},
    {32, 3, u"園芸"},
    {40, 4, u"国内旅行"},
    {41, 4, u"海外旅行"},
    {100, 10, u"ジャズ"},
    {101, 10, u"クラシック"},
    {102, 10, u"民謡"},
    {110, 11, u"絵画"},
    {111, 11, u"写真"},
    {120, 12, u"小説"},
    {121, 12, u"俳句・短歌"},
    {200, 20, u"プログラミング"},
    {201, 20, u"ネットワーク"},
    {210, 21, u"天文"},
    {211, 21, u"生き物"},
    {300, 30, u"和食"},
    {301, 30, u"パン・菓子"},
    {310, 31, u"野球"},
    {311, 31, u"山登り"},
    {400, 40, u"温泉"},
    {401, 40, u"鉄道"},
    {410, 41, u"ヨーロッパ"},
    {411, 41, u"アジア"},
    {1000, 100, u"ピアノトリオ"},
    {1010, 101, u"オペラ"},
    {2000, 200, u"C++"},
    {2100, 210, u"惑星"},
    {3110, 311, u"北アルプス"},
    {4010, 401, u"ローカル線"},
};

QString text(const char16_t *chars)
{
    return QString::fromUtf16(chars);
}

QString dateTimeText(const QDateTime &when)
{
    return DateText::format(when.date()) + QLatin1Char(' ') + when.time().toString(QStringLiteral("hh:mm:ss"));
}

// A small generator of the page contents, seeded by the day, so a day's page
// is the same whenever it is made.
class Sequence
{
public:
    explicit Sequence(qint64 seed)
        : m_state(quint32(seed) * 2654435761u + 1u)
    {
    }
    int next(int below)
    {
        m_state = m_state * 1664525u + 1013904223u;
        return int((m_state >> 8) % quint32(below));
    }

private:
    quint32 m_state;
};

void writeText(const QString &path, const QString &lines)
{
    TextFileWriter writer(path, TextFileWriter::Mode::Replace);
    const QStringList all = lines.split(kLineEnd);
    // The text ends with a line end, so the last piece is empty.
    for (qsizetype i = 0; i + 1 < all.size(); ++i)
        writer.writeTextLine(all[i]);
    writer.close();
}

bool exists(const QString &dir, const QString &name)
{
    return QFileInfo::exists(dir + QLatin1Char('/') + name);
}

// The first field of a waiting update.idf, as a date.
QDate waitingUpdateDate(const QString &dir)
{
    if (!exists(dir, QStringLiteral("update.idf")))
        return {};
    try {
        TextFileReader reader(dir + QStringLiteral("/update.idf"));
        return DateText::read(reader.readField());
    } catch (const RunError &) {
        return {};
    }
}

} // namespace

const QList<Section> &sections()
{
    static const QList<Section> all = [] {
        QList<Section> list;
        for (const auto &row : kSections)
            list.append({qint16(row.id), qint16(row.parent), text(row.name)});
        return list;
    }();
    return all;
}

const QList<Site> &sites()
{
    static const QList<Site> all = [] {
        QList<Site> list;
        for (const SiteRow &row : kSites) {
            Site site{qint16(row.number), text(row.title), text(row.description), text(row.link), {}};
            for (int id : row.sections)
                site.sections.append(qint16(id));
            list.append(site);
        }
        return list;
    }();
    return all;
}

const Site *site(qint16 number)
{
    for (const Site &each : sites())
        if (each.number == number)
            return &each;
    return nullptr;
}

QString sectionPath(qint16 id)
{
    QStringList names;
    for (;;) {
        const auto found = std::find_if(sections().begin(), sections().end(),
                                        [id](const Section &section) { return section.id == id; });
        if (found == sections().end())
            return {};
        names.prepend(found->name);
        if (id == 0)
            break;
        id = found->parent;
    }
    return names.join(QStringLiteral(" -> "));
}

QString allInfoText(const QDate &made)
{
    QString out;
    auto line = [&out](const QString &text) { out += text + kLineEnd; };
    const QString end = QStringLiteral("\"<END>\"");
    const qsizetype links = sections().size() - 1; // every section but the root has a parent
    qsizetype assignments = 0;
    for (const Site &each : sites())
        assignments += each.sections.size();

    line(DateText::format(made));
    line(QString::number(sections().size()));
    line(QString::number(links));
    line(QString::number(sites().size()));
    line(QString::number(assignments));
    for (const Section &section : sections())
        line(QString::number(section.id) + QLatin1Char(',') + section.name);
    line(end);
    for (const Section &section : sections())
        if (section.id != 0)
            line(QString::number(section.parent) + QLatin1Char(',') + QString::number(section.id));
    line(end);
    for (const Site &each : sites())
        line(QString::number(each.number) + QLatin1Char(',') + each.title + QLatin1Char(',') + each.description
             + QLatin1Char(',') + each.link);
    line(end);
    for (const Site &each : sites())
        for (qint16 section : each.sections)
            line(QString::number(each.number) + QLatin1Char(',') + QString::number(section));
    line(end);
    return out;
}

QString updateText(const QDate &made)
{
    QString out = DateText::format(made) + kLineEnd;
    for (const Site &each : sites()) {
        // Spread the states over the six weeks before the data set was made.
        const int n = each.number;
        const QDate modified = made.addDays(-(1 + (n * 7) % 40));
        const QTime at = QTime(0, 0).addSecs((n * 3671) % 86400);
        const QDate checked = std::min(made, modified.addDays(n % 3));
        out += QString::number(n) + QLatin1Char(',') + DataFiles::dateField(dateTimeText(QDateTime(modified, at)))
            + QLatin1Char(',') + DataFiles::dateField(DateText::format(checked)) + QLatin1Char(',')
            + QString::number(1 + n % 4) + kLineEnd;
    }
    return out;
}

void writeDataSet(const QString &dir, const QDate &made)
{
    writeText(dir + QStringLiteral("/all-info.idf"), allInfoText(made));
    writeText(dir + QStringLiteral("/update.idf"), updateText(made));
}

QList<PageRecord> pageRecords(const QDate &day)
{
    Sequence random(day.toJulianDay());
    const int count = 4 + random.next(4);
    QList<qsizetype> picked;
    while (picked.size() < count) {
        const qsizetype index = random.next(int(sites().size()));
        if (!picked.contains(index))
            picked.append(index);
    }
    QList<PageRecord> records;
    for (qsizetype i = 0; i < picked.size(); ++i) {
        // The first four take the four colours in a turn that moves with the day.
        const QString &colour = i < 4 ? kColours[(i + day.toJulianDay()) % 4] : kColours[random.next(4)];
        const QDateTime modified(day.addDays(-1 - random.next(2)), QTime(0, 0).addSecs(random.next(86400)));
        records.append({sites()[picked[i]].number, colour, dateTimeText(modified)});
    }
    return records;
}

QString dailyPage(const QDate &day)
{
    QString out;
    auto line = [&out](const QString &text) { out += text + kLineEnd; };
    line(QStringLiteral("<HTML>"));
    line(QStringLiteral("<HEAD>"));
    line(QStringLiteral("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-31j\">"));
    line(QStringLiteral("<TITLE>更新状況 ") + DateText::format(day) + QStringLiteral("</TITLE>"));
    line(QStringLiteral("</HEAD>"));
    line(QStringLiteral("<BODY>"));
    line(QStringLiteral("<H2>%1年%2月%3日の更新状況</H2>").arg(day.year()).arg(day.month()).arg(day.day()));
    line(QStringLiteral("<P>この日に更新を確認したサイトです。文字の色は更新を確認した方法を表します。</P>"));
    for (const PageRecord &record : pageRecords(day)) {
        const Site *listed = site(record.number);
        line(QStringLiteral("<FONT COLOR='#") + record.colour + QStringLiteral("'>") + listed->title
             + QStringLiteral(" (") + TextUtil::Pad6(record.number) + QStringLiteral(")</FONT> <A HREF=\"")
             + listed->link + QStringLiteral("\">") + listed->link + QStringLiteral("</A> <FONT Size=2>")
             + record.modified + QStringLiteral("</FONT><BR>"));
    }
    // The legend comes after the records and carries no colour tag of the
    // record form, so the download does not take it for a site.
    line(QStringLiteral("<HR>"));
    line(QStringLiteral("<P><SPAN STYLE=\"color:#0000FF\">■</SPAN> Header(Last-Modified)　"
                        "<SPAN STYLE=\"color:#00FF00\">■</SPAN> 更新情報コメントタグ　"
                        "<SPAN STYLE=\"color:#FF0000\">■</SPAN> Header(Content...)　"
                        "<SPAN STYLE=\"color:#000000\">■</SPAN> ファイルサイズ</P>"));
    line(QStringLiteral("</BODY>"));
    line(QStringLiteral("</HTML>"));
    return out;
}

QString pageName(const QDate &day)
{
    return StatusPage::pageUrl(QString(), day);
}

void writeDailyPages(const QString &dir, const QDate &first, const QDate &last)
{
    QDir pages(dir);
    if (!pages.mkpath(QStringLiteral(".")))
        throw RunError(RunError::PathNotFound, dir);
    static const QRegularExpression dayPage(QStringLiteral("^[0-9]{8}\\.html$"));
    for (const QString &name : pages.entryList(QDir::Files)) {
        if (!dayPage.match(name).hasMatch())
            continue;
        const QDate day = QDate::fromString(name.left(8), QStringLiteral("yyyyMMdd"));
        if (!day.isValid() || day < first || day > last)
            pages.remove(name);
    }
    for (QDate day = first; day <= last; day = day.addDays(1))
        writeText(pages.filePath(pageName(day)), dailyPage(day));
}

QStringList samplePages()
{
    QStringList entries;
    for (qint16 number : {3, 7, 48, 90, 132, 156})
        entries.append(PagesFile::entry(number, site(number)->title));
    return entries;
}

QDate firstServedDay(const Layout &layout)
{
    QDate first = layout.today.addDays(1 - layout.days);
    const QDate stored = Settings::updateDate();
    if (stored.isValid() && stored < first)
        first = stored;
    const QDate waiting = waitingUpdateDate(layout.programDir);
    if (waiting.isValid() && waiting < first)
        first = waiting;
    return std::max(first, layout.today.addDays(1 - layout.maxDays));
}

QStringList layOut(const Layout &layout)
{
    const QString &dir = layout.programDir;
    if (!QDir().mkpath(dir))
        throw RunError(RunError::PathNotFound, dir);
    QStringList report;
    auto note = [&report, &dir](const QString &what, const QString &name) {
        report.append(what + QLatin1Char(' ') + QDir::toNativeSeparators(dir + QLatin1Char('/') + name));
    };

    if (exists(dir, QStringLiteral("url.dat"))) {
        note(QStringLiteral("kept"), QStringLiteral("url.dat"));
    } else {
        UrlFile::write(dir, layout.dataUrl, QString());
        note(QStringLiteral("wrote"), QStringLiteral("url.dat"));
    }

    const bool fresh = !exists(dir, QStringLiteral("number.sdf")) && !exists(dir, QStringLiteral("data"))
        && !exists(dir, QStringLiteral("pages.udf"));
    const QDate made = layout.today.addDays(1 - layout.days);
    if (exists(dir, QStringLiteral("all-info.idf")) || exists(dir, QStringLiteral("update.idf"))) {
        note(QStringLiteral("kept"), QStringLiteral("all-info.idf, update.idf"));
    } else {
        if (fresh) {
            // Built once by the program's own builder, so every window has
            // data on the first start; the data set is then placed again
            // for the build button.
            writeDataSet(dir, made);
            DataFileBuilder().BuildDataFiles(dir);
            note(QStringLiteral("built"), QStringLiteral("number.sdf, data/"));
        }
        writeDataSet(dir, made);
        note(QStringLiteral("wrote"), QStringLiteral("all-info.idf, update.idf"));
    }
    if (fresh) {
        PagesFile::write(dir, samplePages());
        note(QStringLiteral("wrote"), QStringLiteral("pages.udf"));
    }

    const QDate first = firstServedDay(layout);
    writeDailyPages(layout.pagesDir, first, layout.today);
    report.append(QStringLiteral("wrote %1 daily pages %2 .. %3 in %4")
                      .arg(first.daysTo(layout.today) + 1)
                      .arg(pageName(first), pageName(layout.today), QDir::toNativeSeparators(layout.pagesDir)));
    return report;
}

} // namespace SampleData
