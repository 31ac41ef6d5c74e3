#pragma once
// What the front desk's video-server dialogs are tested with: the simulator's login, and the failures
// of a request as vmssim's options bring them about, each with the text the client reports.

#include <QString>
#include <QStringList>
#include <QtTest>

namespace ViTest {

// MD5 of vmssim's default password "admin".
inline const QString cAdminMd5 = QStringLiteral("21232F297A57A5A743894A0E4A801FC3");

// Columns "args" (vmssim's options) and "text" (the error text), with the failures every kind of
// request meets: a wrong password, nobody listening, and an HTTP error status.
inline void AddFailureRows() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("text");
    QTest::newRow("wrong password") << QStringList{QStringLiteral("--password"), QStringLiteral("other")}
                                    << QStringLiteral("Authorization Error (check username and password)");
    QTest::newRow("nobody listens") << QStringList{QStringLiteral("--fault"), QStringLiteral("refused")}
                                    << QStringLiteral("The server is not responding.");
    QTest::newRow("not found") << QStringList{QStringLiteral("--fault"), QStringLiteral("404")}
                               << QStringLiteral("Http error #404.");
    QTest::newRow("server error") << QStringList{QStringLiteral("--fault"), QStringLiteral("500")}
                                  << QStringLiteral("Http error #500.");
}

} // namespace ViTest
