// The child process the reader runs in: what it hands back, and what
// becomes of a child that crashes or stops making progress (as libmdb can on
// a damaged file).
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QElapsedTimer>

#include "accessfile/ReaderProcess.h"

using namespace accessfile;
using detail::Progress;

namespace {

Error failureOf(const detail::Work& work, int stallSeconds = 5) {
    Report report;
    try {
        detail::runInChildProcess(work, report, stallSeconds);
    } catch (const Error& e) {
        return e;
    }
    ADD_FAILURE() << "the child succeeded";
    return Error(Error::Code::NotAccess, {});
}

}  // namespace

TEST(ReaderProcess, TheChildsReportOrErrorComesBackWhole) {
    Report report;
    report.source = QStringLiteral("/a.mdb");
    detail::runInChildProcess(
        [](Report& r, const Progress& progress) {
            progress();
            r.format = Format::Ace;
            r.entries.push_back({ReportEntry::Kind::QueryCarried,
                                 QStringLiteral("問い合わせ"),
                                 {},
                                 {},
                                 0,
                                 QStringLiteral("SELECT * FROM [T]")});
            r.entries.push_back({ReportEntry::Kind::ValuesRounded,
                                 QStringLiteral("T.c"),
                                 QStringLiteral("currency-digits"),
                                 {},
                                 12345678901LL,
                                 {}});
        },
        report, 5);
    EXPECT_EQ(report.source, QStringLiteral("/a.mdb")) << "what the parent set stays";
    EXPECT_EQ(report.format, Format::Ace);
    ASSERT_EQ(report.entries.size(), 2u);
    EXPECT_EQ(report.entries[0].object, QStringLiteral("問い合わせ"));
    EXPECT_EQ(report.entries[0].sql, QStringLiteral("SELECT * FROM [T]"));
    EXPECT_EQ(report.entries[1].kind, ReportEntry::Kind::ValuesRounded);
    EXPECT_EQ(report.entries[1].count, 12345678901LL);

    const Error e = failureOf([](Report&, const Progress&) {
        throw Error(Error::Code::Encrypted, QStringLiteral("pages of x"));
    });
    EXPECT_EQ(e.code(), Error::Code::Encrypted);
    EXPECT_EQ(e.detail(), QStringLiteral("pages of x"));
}

TEST(ReaderProcess, ACrashOrAStallIsTakenForADamagedFile) {
    Error crashed = failureOf([](Report&, const Progress&) { ::raise(SIGSEGV); });
    EXPECT_EQ(crashed.code(), Error::Code::Damaged);
    EXPECT_TRUE(crashed.detail().contains(QStringLiteral("signal 11")))
        << crashed.detail().toStdString();

    QElapsedTimer timer;
    timer.start();
    Error stalled = failureOf(
        [](Report&, const Progress&) {
            for (;;) ::pause();
        },
        1);
    EXPECT_EQ(stalled.code(), Error::Code::Damaged);
    EXPECT_TRUE(stalled.detail().contains(QStringLiteral("no progress")))
        << stalled.detail().toStdString();
    EXPECT_LT(timer.elapsed(), 10000);
}

TEST(ReaderProcess, ProgressKeepsALongReadAlive) {
    Report report;
    detail::runInChildProcess(
        [](Report& r, const Progress& progress) {
            for (int i = 0; i < 25; ++i) {
                ::usleep(100 * 1000);
                progress();
            }
            r.format = Format::Jet4;
        },
        report, 1);
    EXPECT_EQ(report.format, Format::Jet4);
}
