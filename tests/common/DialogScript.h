#pragma once
// Window-test helpers for modal dialogs: catching the message boxes they open and scripting them.

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTimer>
#include <QtGlobal>

#include <functional>

// Closes every message box that opens while it lives and keeps its text and icon.
class TBoxCatcher {
public:
    TBoxCatcher() {
        m_oTimer.setInterval(5);
        QObject::connect(&m_oTimer, &QTimer::timeout, [this] {
            if (auto* lBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                m_aTexts << lBox->text();
                m_aIcons << lBox->icon();
                lBox->done(QMessageBox::Ok);
            }
        });
        m_oTimer.start();
    }
    QStringList m_aTexts;
    QList<QMessageBox::Icon> m_aIcons;

private:
    QTimer m_oTimer;
};

// Runs ADlg modally; AScript acts on it once it is shown. The result of exec().
inline int RunDlg(QDialog& ADlg, std::function<void()> AScript) {
    bool lRan = false;
    QTimer::singleShot(0, &ADlg, [&] {
        lRan = true;
        AScript();
        if (ADlg.isVisible())
            ADlg.reject(); // a script that left the dialog open ends as Cancel
    });
    const int lResult = ADlg.exec();
    if (!lRan)
        qWarning("dialog script did not run");
    return lResult;
}
