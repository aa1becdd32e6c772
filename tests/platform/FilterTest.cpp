#include <gtest/gtest.h>

#include "platform/Services.h"

using platform::toQtFilter;

TEST(QtFilter, TurnsFormFiltersIntoQtFilters) {
    struct Case {
        const char* form;
        const char* qt;
    } cases[] = {
        {"", ""},
        {"Accessファイル(*.mdb)|*.mdb", "Accessファイル(*.mdb) (*.mdb)"},
        {"Accessファイル(*.mdb,*.accdb)|*.mdb;*.accdb",
         "Accessファイル(*.mdb,*.accdb) (*.mdb *.accdb)"},
        {"Excelファイル(*.xls)|*.xls|CSVファイル(*.csv)|*.csv",
         "Excelファイル(*.xls) (*.xls);;CSVファイル(*.csv) (*.csv)"},
        // A dangling description still offers every file instead of vanishing.
        {"すべて", "すべて (*)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(toQtFilter(QString::fromUtf8(c.form)), QString::fromUtf8(c.qt)) << c.form;
}
