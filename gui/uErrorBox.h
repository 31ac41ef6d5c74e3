#pragma once
// The standard error box both programs show a failure in.

#include <exception>

class QWidget;
class QString;

// Shows AMessage in a modal error box with the program's title (a null owner: the active window).
void ShowErrorBox(QWidget* AOwner, const QString& AMessage);
// The message of AError (this system's exceptions carry translated texts).
void ShowException(QWidget* AOwner, const std::exception& AError);
// The same for an exception caught elsewhere (one escaping a window procedure); any other object thrown
// reads "Unknown error.".
void ShowExceptionPtr(QWidget* AOwner, std::exception_ptr AError);
