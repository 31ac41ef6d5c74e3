#pragma once
// The configuration program's self-closing message: a borderless box with one centred line that goes
// away on the next key (Enter, Escape, Space) or when it loses activation. It never blocks.

#include <QDialog>

class QLabel;

class TfmAutoMessageDlg : public QDialog {
    Q_OBJECT
public:
    explicit TfmAutoMessageDlg(QWidget* AOwner = nullptr);

    // Closes the box when shown, sets the text and the popup parent (when given) and shows it.
    void ShowAutoMessage(const QString& AText, QWidget* APopupParent = nullptr);
    QString Text() const;

    QLabel* labMessage = nullptr;

protected:
    void keyPressEvent(QKeyEvent* AEvent) override;
    bool event(QEvent* AEvent) override;
};

// The program's one message box of this kind (created at program start; null before).
TfmAutoMessageDlg* AutoMessageDlg();
void SetAutoMessageDlg(TfmAutoMessageDlg* ADlg);
