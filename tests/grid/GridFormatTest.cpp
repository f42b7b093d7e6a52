#include "grid/GridFormat.h"

#include <QTest>

using namespace morvex::grid;

class GridFormatTest : public QObject {
    Q_OBJECT

private slots:
    void formatsIntegersTruncatedTowardZero()
    {
        QCOMPARE(FormatValue(QStringLiteral("%d"), 12.9), QStringLiteral("12"));
        QCOMPARE(FormatValue(QStringLiteral("%d"), -3.7), QStringLiteral("-3"));
        QCOMPARE(FormatValue(QStringLiteral("%d"), -0.4), QStringLiteral("0"));
        QCOMPARE(FormatValue(QStringLiteral("%3d"), 5), QStringLiteral("  5"));
        QCOMPARE(FormatValue(QStringLiteral("%-4d|"), 5), QStringLiteral("5   |"));
        QCOMPARE(FormatValue(QStringLiteral("%03d"), -5), QStringLiteral("-05"));
        QCOMPARE(FormatValue(QStringLiteral("%+d"), 7), QStringLiteral("+7"));
    }

    void formatsFixedPointWithTheProgramsSeparator()
    {
        QCOMPARE(FormatValue(QStringLiteral("%0.2f"), 0.46), QStringLiteral("0.46"));
        QCOMPARE(FormatValue(QStringLiteral("%0.2f"), 0.0), QStringLiteral("0.00"));
        QCOMPARE(FormatValue(QStringLiteral("%0.0f"), 12000.0), QStringLiteral("12000"));
        QCOMPARE(FormatValue(QStringLiteral("%06.1f"), -2.26), QStringLiteral("-002.3"));
        QCOMPARE(FormatValue(QStringLiteral("%0.3f"), 1.5), QStringLiteral("1.500"));
    }

    void keepsLiteralTextAndFallsBackOnBadFormats()
    {
        QCOMPARE(FormatValue(QStringLiteral("%d %%"), 50), QStringLiteral("50 %"));
        QCOMPARE(FormatValue(QStringLiteral("n=%ld rpm"), 900), QStringLiteral("n=900 rpm"));
        QCOMPARE(FormatValue(QStringLiteral("%s"), 2.5), QStringLiteral("2.5"));
        QCOMPARE(FormatValue(QStringLiteral("%q"), 2.5), QStringLiteral("2.5"));
        QCOMPARE(FormatValue(QString(), 3), QStringLiteral("3"));
        QCOMPARE(FormatValue(QStringLiteral("%"), 3), QStringLiteral("3"));
    }

    void parsesLeadingIntegersLikeAtoi()
    {
        QCOMPARE(ParseLeadingInt(QStringLiteral("  42abc")), 42);
        QCOMPARE(ParseLeadingInt(QStringLiteral("-7")), -7);
        QCOMPARE(ParseLeadingInt(QStringLiteral("+5")), 5);
        QCOMPARE(ParseLeadingInt(QStringLiteral("5-")), 5);
        QCOMPARE(ParseLeadingInt(QStringLiteral("007")), 7);
        QCOMPARE(ParseLeadingInt(QString()), 0);
        QCOMPARE(ParseLeadingInt(QStringLiteral("abc")), 0);
        QCOMPARE(ParseLeadingInt(QStringLiteral("99999999999")), INT_MAX);
        QCOMPARE(ParseLeadingInt(QStringLiteral("-99999999999")), INT_MIN);
    }

    void parsesLeadingNumbersLikeAtof()
    {
        QCOMPARE(ParseLeadingDouble(QStringLiteral("1.25x")), 1.25);
        QCOMPARE(ParseLeadingDouble(QStringLiteral("-.5")), -0.5);
        QCOMPARE(ParseLeadingDouble(QStringLiteral("1e3")), 1000.0);
        QCOMPARE(ParseLeadingDouble(QStringLiteral("2e")), 2.0);
        QCOMPARE(ParseLeadingDouble(QStringLiteral(".")), 0.0);
        QCOMPARE(ParseLeadingDouble(QStringLiteral("1,5")), 1.0);
        QCOMPARE(ParseLeadingDouble(QStringLiteral("  12000")), 12000.0);
    }
};

QTEST_GUILESS_MAIN(GridFormatTest)
#include "GridFormatTest.moc"
