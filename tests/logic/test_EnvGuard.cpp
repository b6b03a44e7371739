// The guard every test uses for the environment: a leak here would carry one test's settings
// into the next, where they pass or fail for reasons the test cannot see.
#include "support/EnvGuard.h"

#include <QTest>

class test_EnvGuard : public QObject
{
    Q_OBJECT
private slots:
    void putsBackValuesAndAbsences()
    {
        qputenv("VELDRIN_GUARD_SET", "before");
        qunsetenv("VELDRIN_GUARD_NEW");
        {
            EnvGuard env("VELDRIN_GUARD_SET", "first");
            env.set("VELDRIN_GUARD_SET", "second"); // changed twice: the first value before it wins
            env.set("VELDRIN_GUARD_NEW", "");        // set but empty is not the same as absent
            QCOMPARE(qgetenv("VELDRIN_GUARD_SET"), QByteArray("second"));
            QVERIFY(qEnvironmentVariableIsSet("VELDRIN_GUARD_NEW"));
        }
        QCOMPARE(qgetenv("VELDRIN_GUARD_SET"), QByteArray("before"));
        QVERIFY(!qEnvironmentVariableIsSet("VELDRIN_GUARD_NEW"));

        EnvGuard env;
        env.unset("VELDRIN_GUARD_SET");
        QVERIFY(!qEnvironmentVariableIsSet("VELDRIN_GUARD_SET"));
        env.restore();
        QCOMPARE(qgetenv("VELDRIN_GUARD_SET"), QByteArray("before"));
        qunsetenv("VELDRIN_GUARD_SET");
    }
};

QTEST_GUILESS_MAIN(test_EnvGuard)
#include "test_EnvGuard.moc"
