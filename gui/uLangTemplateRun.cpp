#include "gui/uLangTemplateRun.h"

#include <QApplication>

#include <cstdio>
#include <exception>

TLangTemplateArgs LangTemplateArgsOf(int argc, char* argv[]) {
    QStringList lArgs;
    for (int i = 0; i < argc; ++i)
        lArgs << QString::fromLocal8Bit(argv[i]);
    return ParseLangTemplateArgs(lArgs);
}

int RunLanguageTemplate(int argc, char* argv[], const char* AProgram, const TLangTemplateArgs& AArgs,
                        const TLangTemplateWriter& AWrite) {
    if (!AArgs.m_sError.isEmpty()) {
        std::fprintf(stderr, "%s: %s\n", AProgram, AArgs.m_sError.toLocal8Bit().constData());
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen"); // nothing is shown: no desktop needed
    QApplication lApp(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(AProgram));
    try {
        AWrite(AArgs.m_sFile, AArgs.m_nLanguage);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", AProgram, QString::fromUtf8(e.what()).toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
