#include "DemoDatabase.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>

#include <array>
#include <random>
#include <stdexcept>

#include "db/Db.h"

namespace demo {

namespace {

struct Reading {
    const char* kanji;
    const char* kana;
};

constexpr std::array<Reading, 30> kSurnames{{
    {"佐藤", "サトウ"},     {"鈴木", "スズキ"},     {"高橋", "タカハシ"},   {"田中", "タナカ"},
    {"伊藤", "イトウ"},     {"渡辺", "ワタナベ"},   {"山本", "ヤマモト"},   {"中村", "ナカムラ"},
    {"小林", "コバヤシ"},   {"加藤", "カトウ"},     {"吉田", "ヨシダ"},     {"山田", "ヤマダ"},
    {"佐々木", "ササキ"},   {"山口", "ヤマグチ"},   {"松本", "マツモト"},   {"井上", "イノウエ"},
    {"木村", "キムラ"},     {"林", "ハヤシ"},       {"斎藤", "サイトウ"},   {"清水", "シミズ"},
    {"山崎", "ヤマザキ"},   {"森", "モリ"},         {"池田", "イケダ"},     {"橋本", "ハシモト"},
    {"阿部", "アベ"},       {"石川", "イシカワ"},   {"前田", "マエダ"},     {"藤田", "フジタ"},
    {"小川", "オガワ"},     {"岡田", "オカダ"},
}};

constexpr std::array<Reading, 30> kGivenNames{{
    {"太郎", "タロウ"},     {"花子", "ハナコ"},     {"翔太", "ショウタ"},   {"美咲", "ミサキ"},
    {"大輔", "ダイスケ"},   {"陽子", "ヨウコ"},     {"健一", "ケンイチ"},   {"由美", "ユミ"},
    {"誠", "マコト"},       {"愛", "アイ"},         {"拓也", "タクヤ"},     {"恵子", "ケイコ"},
    {"直樹", "ナオキ"},     {"彩", "アヤ"},         {"浩二", "コウジ"},     {"真由美", "マユミ"},
    {"蓮", "レン"},         {"結衣", "ユイ"},       {"修", "オサム"},       {"明美", "アケミ"},
    {"隆", "タカシ"},       {"さくら", "サクラ"},   {"和也", "カズヤ"},     {"裕子", "ユウコ"},
    {"悠真", "ユウマ"},     {"葵", "アオイ"},       {"一郎", "イチロウ"},   {"智子", "トモコ"},
    {"亮", "リョウ"},       {"千尋", "チヒロ"},
}};

struct Place {
    const char* postal;
    const char* address;
    const char* areaCode;
};

constexpr std::array<Place, 16> kPlaces{{
    {"0600001", "北海道札幌市中央区北一条西", "011"},
    {"0300801", "青森県青森市新町", "017"},
    {"9800811", "宮城県仙台市青葉区一番町", "022"},
    {"3300063", "埼玉県さいたま市浦和区高砂", "048"},
    {"2600013", "千葉県千葉市中央区中央", "043"},
    {"1000005", "東京都千代田区丸の内", "03"},
    {"1600022", "東京都新宿区新宿", "03"},
    {"2310023", "神奈川県横浜市中区山下町", "045"},
    {"4600008", "愛知県名古屋市中区栄", "052"},
    {"6008216", "京都府京都市下京区東塩小路町", "075"},
    {"5300001", "大阪府大阪市北区梅田", "06"},
    {"6500021", "兵庫県神戸市中央区三宮町", "078"},
    {"7300011", "広島県広島市中区基町", "082"},
    {"7600019", "香川県高松市サンポート", "087"},
    {"8120011", "福岡県福岡市博多区博多駅前", "092"},
    {"9000006", "沖縄県那覇市おもろまち", "098"},
}};

constexpr std::array<const char*, 6> kMemos{{
    "",
    "年会費は口座振替。",
    "住所変更の連絡あり（旧住所あて郵便物に注意）。",
    "総会に毎年出席。\n役員経験あり。",
    "連絡はメールを希望。\n電話は平日夜のみ可。",
    "紹介者：会員番号 M00012",
}};

QString u(const char* s) { return QString::fromUtf8(s); }

const QString kCreateTable = QStringLiteral(
    "CREATE TABLE [会員] ("
    "[会員番号] NCHAR(6) NOT NULL PRIMARY KEY, "
    "[氏名] NCHAR(20), [フリガナ] NCHAR(30), [郵便番号] NCHAR(7), [住所] NCHAR(60), "
    "[生年月日] TIMESTAMP, [電話番号] NCHAR(15), [年会費] CURRENCY, [身長] DOUBLE PRECISION, "
    "[メール配信] BIT, [備考] MEMO)");

const QString kCreateQuery = QStringLiteral(
    "CREATE VIEW [配信希望者] AS SELECT [会員番号], [氏名], [フリガナ], [郵便番号], [住所] "
    "FROM [会員] WHERE [メール配信] = True ORDER BY [フリガナ]");

}  // namespace

void writeDemoDatabase(const QString& path, int members) {
    if (QFileInfo::exists(path)) throw std::runtime_error("the demo database exists already");
    // Built beside the target and renamed at the end, so a failed run never
    // leaves a half-filled database under the real name.
    const QString temp = path + QStringLiteral(".part");
    QFile::remove(temp);
    try {
        db::createDatabase(temp);
        db::Connection connection;
        connection.setConnectionString(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") +
                                       temp + QStringLiteral(";Persist Security Info=False"));
        connection.open();
        connection.execute(kCreateTable);
        connection.execute(kCreateQuery);

        std::mt19937 random(20240401);
        auto pick = [&random](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
        db::Transaction transaction(connection);
        db::Command insert(connection);
        insert.setCommandText(QStringLiteral(
            "INSERT INTO [会員] ([会員番号], [氏名], [フリガナ], [郵便番号], [住所], [生年月日], "
            "[電話番号], [年会費], [身長], [メール配信], [備考]) "
            "VALUES (:A, :B, :C, :D, :E, :F, :G, :H, :I, :J, :K)"));
        for (int i = 1; i <= members; ++i) {
            const Reading& surname = kSurnames[pick(int(kSurnames.size()))];
            const Reading& given = kGivenNames[pick(int(kGivenNames.size()))];
            const Place& place = kPlaces[pick(int(kPlaces.size()))];
            const QDate birthday = QDate(1940, 1, 1).addDays(pick(365 * 65));
            // Ten digits in all: area code, exchange, then four for the line.
            const QString areaCode = u(place.areaCode);
            QString exchange = QString::number(pick(9) + 1);
            while (areaCode.size() + exchange.size() < 6) exchange += QString::number(pick(10));
            const QString phone = areaCode + QLatin1Char('-') + exchange + QLatin1Char('-') +
                                  QString::number(pick(10000)).rightJustified(4, QLatin1Char('0'));
            const QString address = u(place.address) + QString::number(pick(9) + 1) + QStringLiteral("丁目") +
                                    QString::number(pick(30) + 1) + QLatin1Char('-') + QString::number(pick(20) + 1);
            const double fee = std::array<double, 4>{3000, 5000, 5000, 12000}[pick(4)];
            const double height = 145.0 + pick(450) / 10.0;

            insert.clearParameters();
            insert.addParameter(QStringLiteral("M%1").arg(i, 5, 10, QLatin1Char('0')), db::ParamType::Text);
            insert.addParameter(u(surname.kanji) + QStringLiteral("　") + u(given.kanji), db::ParamType::Text);
            insert.addParameter(u(surname.kana) + QStringLiteral(" ") + u(given.kana), db::ParamType::Text);
            insert.addParameter(u(place.postal), db::ParamType::Text);
            insert.addParameter(address, db::ParamType::Text);
            insert.addParameter(QDateTime(birthday, QTime(0, 0)), db::ParamType::DateTime);
            insert.addParameter(phone, db::ParamType::Text);
            insert.addParameter(fee, db::ParamType::Float);
            insert.addParameter(height, db::ParamType::Float);
            insert.addParameter(pick(3) != 0, db::ParamType::Boolean);
            const char* memo = kMemos[pick(int(kMemos.size()))];
            insert.addParameter(*memo ? QVariant(u(memo)) : QVariant(), db::ParamType::Text);
            insert.execute();
        }
        transaction.commit();
        connection.close();
        if (!QFile::rename(temp, path)) throw std::runtime_error("cannot move the demo database into place");
    } catch (...) {
        QFile::remove(temp);
        throw;
    }
}

}  // namespace demo
