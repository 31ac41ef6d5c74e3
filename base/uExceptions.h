#pragma once
// Error classes shared by every layer. User-facing failures carry a message that the GUI shows
// in its standard error box; programming-contract violations are EAssertionFailed.

#include <QByteArray>
#include <QString>

#include <exception>

class Exception : public std::exception {
public:
    explicit Exception(const QString& AMessage) : m_sMessage(AMessage), m_aUtf8(AMessage.toUtf8()) {}
    const QString& Message() const noexcept { return m_sMessage; }
    const char* what() const noexcept override { return m_aUtf8.constData(); }

private:
    QString m_sMessage;
    QByteArray m_aUtf8;
};

// A text did not convert to a number, time or date.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// A file could not be opened, read, created or written; the message names the file and the reason.
class EInOutError : public Exception {
public:
    using Exception::Exception;
};

// A list index outside the list where the caller is allowed to pass one.
class EListError : public Exception {
public:
    using Exception::Exception;
};

// A save refused because the data file was not read completely: writing it would replace or delete
// what was never loaded. The operator has to agree explicitly.
class EDataFileIncomplete : public Exception {
public:
    using Exception::Exception;
};

// A violated programming contract; the message names the unit.
class EAssertionFailed : public Exception {
public:
    EAssertionFailed(const char* AUnit, const char* ACondition, int ALine);
};

// Checks a programming contract and throws EAssertionFailed naming AUnit when it fails.
#define TARVO_ASSERT(ACond, AUnit)                                                                         \
    do {                                                                                                   \
        if (!(ACond))                                                                                      \
            throw EAssertionFailed((AUnit), #ACond, __LINE__);                                             \
    } while (false)
