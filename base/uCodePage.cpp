#include "base/uCodePage.h"

#include "base/uLocale.h"

#include <QLocale>

#include <cerrno>
#include <cstdlib>
#include <iconv.h>
#include <mutex>

namespace {

std::mutex g_oOverrideLock;
QString g_sOverride;

QString DefaultCodePage() {
    switch (UserLocale().language()) {
    case QLocale::Russian:
    case QLocale::Ukrainian:
    case QLocale::Belarusian:
    case QLocale::Bulgarian:
        return QStringLiteral("CP1251");
    case QLocale::Polish:
    case QLocale::Czech:
    case QLocale::Slovak:
    case QLocale::Hungarian:
    case QLocale::Romanian:
    case QLocale::Croatian:
    case QLocale::Slovenian:
        return QStringLiteral("CP1250");
    default:
        return QStringLiteral("CP1252");
    }
}

// One converter per thread and direction, reopened when the code page changes: an iconv descriptor keeps
// state and must not be shared between threads.
class TConverter {
public:
    ~TConverter() { Close(); }

    iconv_t Get(const QByteArray& ATo, const QByteArray& AFrom) {
        if (m_hConv != iconv_t(-1) && ATo == m_aTo && AFrom == m_aFrom) {
            iconv(m_hConv, nullptr, nullptr, nullptr, nullptr); // back to the initial shift state
            return m_hConv;
        }
        Close();
        m_hConv = iconv_open(ATo.constData(), AFrom.constData());
        m_aTo = ATo;
        m_aFrom = AFrom;
        return m_hConv;
    }

private:
    void Close() {
        if (m_hConv != iconv_t(-1))
            iconv_close(m_hConv);
        m_hConv = iconv_t(-1);
    }

    iconv_t m_hConv = iconv_t(-1);
    QByteArray m_aTo, m_aFrom;
};

thread_local TConverter t_oToAnsi;
thread_local TConverter t_oFromAnsi;

// Bytes of the UTF-8 sequence that starts with ALead (1 for a stray byte).
int Utf8Length(unsigned char ALead) {
    if (ALead >= 0xF0)
        return 4;
    if (ALead >= 0xE0)
        return 3;
    if (ALead >= 0xC0)
        return 2;
    return 1;
}

// Runs the whole input through the converter. A character the target lacks (or an input byte that is not
// valid in the source) becomes AReplacement and the conversion goes on after it; a truncated sequence at
// the end becomes one replacement. AStepUtf8 says how far to skip over a bad input character.
QByteArray Convert(iconv_t AConv, const QByteArray& AInput, const QByteArray& AReplacement, bool AStepUtf8) {
    QByteArray lOut;
    lOut.reserve(AInput.size());
    char lBuf[4096];
    char* lIn = const_cast<char*>(AInput.constData());
    size_t lInLeft = size_t(AInput.size());
    while (lInLeft > 0) {
        char* lDst = lBuf;
        size_t lOutLeft = sizeof lBuf;
        const size_t lRc = iconv(AConv, &lIn, &lInLeft, &lDst, &lOutLeft);
        const int lErr = errno;
        lOut.append(lBuf, lDst - lBuf);
        if (lRc != size_t(-1))
            continue;
        if (lErr == E2BIG && lDst != lBuf)
            continue;
        if (lErr != EILSEQ && lErr != EINVAL)
            break;
        lOut += AReplacement;
        if (lErr == EINVAL)
            break;
        const size_t lSkip = AStepUtf8 ? size_t(Utf8Length(static_cast<unsigned char>(*lIn))) : 1;
        lIn += lSkip < lInLeft ? lSkip : lInLeft;
        lInLeft -= lSkip < lInLeft ? lSkip : lInLeft;
    }
    char* lDst = lBuf;
    size_t lOutLeft = sizeof lBuf;
    iconv(AConv, nullptr, nullptr, &lDst, &lOutLeft); // closing shift sequence of stateful code pages
    lOut.append(lBuf, lDst - lBuf);
    return lOut;
}

} // namespace

QString SystemCodePageName() {
    {
        std::lock_guard<std::mutex> lLock(g_oOverrideLock);
        if (!g_sOverride.isEmpty())
            return g_sOverride;
    }
    const QString lEnv = qEnvironmentVariable("TARVO_CODEPAGE").trimmed();
    return lEnv.isEmpty() ? DefaultCodePage() : lEnv;
}

void SetCodePageOverride(const QString& AIconvName) {
    std::lock_guard<std::mutex> lLock(g_oOverrideLock);
    g_sOverride = AIconvName;
}

QByteArray ToAnsi(const QString& AText) {
    if (AText.isEmpty())
        return QByteArray();
    iconv_t lConv = t_oToAnsi.Get(SystemCodePageName().toLatin1(), QByteArrayLiteral("UTF-8"));
    // An unknown code page name must not lose text: the default of the locale is used instead.
    if (lConv == iconv_t(-1))
        lConv = t_oToAnsi.Get(DefaultCodePage().toLatin1(), QByteArrayLiteral("UTF-8"));
    if (lConv == iconv_t(-1))
        return AText.toLatin1(); // Latin-1 writes "?" for what it lacks
    return Convert(lConv, AText.toUtf8(), QByteArrayLiteral("?"), true);
}

QString FromAnsi(const QByteArray& ABytes) {
    if (ABytes.isEmpty())
        return QString();
    iconv_t lConv = t_oFromAnsi.Get(QByteArrayLiteral("UTF-8"), SystemCodePageName().toLatin1());
    if (lConv == iconv_t(-1))
        lConv = t_oFromAnsi.Get(QByteArrayLiteral("UTF-8"), DefaultCodePage().toLatin1());
    if (lConv == iconv_t(-1))
        return QString::fromLatin1(ABytes);
    return QString::fromUtf8(Convert(lConv, ABytes, QByteArrayLiteral("?"), false));
}
