#include "base/uExceptions.h"

EAssertionFailed::EAssertionFailed(const char* AUnit, const char* ACondition, int ALine)
    : Exception(QStringLiteral("Assertion failed: %1 (%2, line %3)")
                    .arg(QString::fromUtf8(ACondition), QString::fromUtf8(AUnit))
                    .arg(ALine)) {}
