// Malformed input gives a clear engine error, never a crash.
#include <gtest/gtest.h>

#include "Fixtures.h"
#include "excel/Workbook.h"
#include "support/TempDir.h"

using namespace excel;
using exceltest::fixture;

TEST(RobustnessTest, CorruptPackagesAreRefusedWithTheirReason) {
    const std::pair<const char*, ErrorCode> cases[] = {
        {"notzip.xlsx", ErrorCode::NotAWorkbook},   {"noworkbook.xlsx", ErrorCode::NotAWorkbook},
        {"badsheet.xlsx", ErrorCode::NotAWorkbook}, {"entities.xlsx", ErrorCode::NotAWorkbook},
        {"bomb.xlsx", ErrorCode::TooLarge},         {"missing.xlsx", ErrorCode::FileNotFound},
        {"red.png", ErrorCode::Unsupported}};
    for (const auto& [name, code] : cases) {
        try {
            Workbook::open(fixture(QString::fromLatin1(name)));
            ADD_FAILURE() << name << " was opened";
        } catch (const Error& e) {
            EXPECT_EQ(e.code(), code) << name << ": " << e.what();
            EXPECT_GT(std::strlen(e.what()), 10u);
        }
    }
}

TEST(RobustnessTest, SavingIntoAMissingFolderFailsAndKeepsTheSource) {
    testsupport::TempDir dir;
    auto book = Workbook::open(fixture(QStringLiteral("form.xlsx")));
    book->activeSheet().setCellText(1, 1, QStringLiteral("x"));
    EXPECT_THROW(book->saveAs(dir.file(QStringLiteral("no/such/folder/out.xlsx"))), Error);
    EXPECT_EQ(Workbook::open(fixture(QStringLiteral("form.xlsx")))->activeSheet().valueText(1, 1),
              QStringLiteral("御見積書"));
}
