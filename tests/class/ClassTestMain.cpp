// Test entry of the class-server tests: a throw-away PostgreSQL server of
// their own (pg_virtualenv, on a free port so that other runs at the same
// time do not meet it), then GoogleTest inside it.
#include "tests/support/PgVirtualenv.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <clocale>

int main(int argc, char **argv)
{
    if (!tervalo::test::insidePgVirtualenv(argc, argv))
        return 1;
    QApplication app(argc, argv); // the Class window's tests show widgets
    std::setlocale(LC_NUMERIC, "C");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
