// Set-Cookie values into the cookie jar: lines of the input are Set-Cookie values, each applied for a
// request path taken from its first bytes. The jar never holds an empty value or two cookies of one
// path and name, and the Cookie header of any path ends in "; " and names only cookies set before.

#include "base/uCodePage.h"
#include "vi/uViParse.h"

#include <QList>
#include <QSet>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void Fail(const char* AWhat, const QString& AText) {
    std::fprintf(stderr, "fuzz_vi_cookie: %s: \"%s\"\n", AWhat, AText.left(200).toUtf8().constData());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize) {
    static const bool s_fCodePage = [] {
        SetCodePageOverride(QStringLiteral("CP1252"));
        return true;
    }();
    (void)s_fCodePage;
    const QByteArray lInput(reinterpret_cast<const char*>(AData), static_cast<qsizetype>(ASize));
    Vi::TCookieJar lJar;
    QSet<QString> lNames;
    const QList<QByteArray> lLines = lInput.split('\n');
    for (const QByteArray& lLine : lLines) {
        const QString lPath = QStringLiteral("/") + FromAnsi(lLine.left(lLine.size() % 7));
        Vi::TSetCookie lCookie;
        if (Vi::ParseSetCookie(lLine, lCookie)) {
            if (lCookie.m_sName.isEmpty())
                Fail("accepted without a name", FromAnsi(lLine));
            lNames.insert(lCookie.m_sName);
        }
        lJar.Apply(lLine, lPath);
        const QString lHeader = lJar.HeaderFor(lPath);
        if (!lHeader.isEmpty() && !lHeader.endsWith(QLatin1String("; ")))
            Fail("header without the closing \"; \"", lHeader);
    }
    if (lJar.Count() > lLines.size())
        Fail("more cookies than values", QString::number(lJar.Count()));
    // Fields are split at ";" and a name ends at the first "=": the header's names are exact.
    for (const QString& lPart :
         lJar.HeaderFor(QStringLiteral("/")).split(QLatin1String("; "), Qt::SkipEmptyParts))
        if (!lNames.contains(lPart.section(QLatin1Char('='), 0, 0)))
            Fail("header names a cookie never set", lPart);
    return 0;
}
