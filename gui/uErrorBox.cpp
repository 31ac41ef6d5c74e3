#include "gui/uErrorBox.h"

#include "base/uMessages.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>

void ShowErrorBox(QWidget* AOwner, const QString& AMessage) {
    if (!AOwner)
        AOwner = QApplication::activeWindow();
    QMessageBox::critical(AOwner, QApplication::applicationDisplayName(), AMessage);
}

void ShowException(QWidget* AOwner, const std::exception& AError) {
    ShowErrorBox(AOwner, QString::fromUtf8(AError.what()));
}

void ShowExceptionPtr(QWidget* AOwner, std::exception_ptr AError) {
    try {
        std::rethrow_exception(AError);
    } catch (const std::exception& e) {
        ShowException(AOwner, e);
    } catch (...) {
        ShowErrorBox(AOwner, LoadResString(MSG_UNKNOWN_ERROR));
    }
}
