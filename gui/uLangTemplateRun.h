#pragma once
// The translators' command of both programs (base/uLangTemplateArgs): with --write-language-template
// the program only writes its language template and ends, without a data file or a reader.

#include "base/uLangTemplateArgs.h"

#include <cstdint>
#include <functional>

using TLangTemplateWriter = std::function<void(const QString& AFile, std::uint32_t ALanguage)>;

// The template arguments of the command line argc/argv.
TLangTemplateArgs LangTemplateArgsOf(int argc, char* argv[]);
// Runs AWrite in an application of its own (offscreen unless a platform is chosen: nothing is shown)
// and gives the exit status: 0, 1 with the error on standard error, 2 for a usage error. AProgram
// begins the error lines.
int RunLanguageTemplate(int argc, char* argv[], const char* AProgram, const TLangTemplateArgs& AArgs,
                        const TLangTemplateWriter& AWrite);
