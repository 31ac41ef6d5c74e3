#pragma once
// Input form of one card: key number (hexadecimal or WIN-PAK decimal input), user name, level of service
// and comment.

#include "base/uKeyNum.h"

#include <QDialog>

#include <cstdint>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace ConfigTarvo {
class TTarvoDoc;
}

class TfmCardDlg : public QDialog {
    Q_OBJECT
public:
    explicit TfmCardDlg(QWidget* AOwner = nullptr);

    // Set by the caller before exec(); on OK the card is already added or changed in the document, and
    // for a new card m_nCardIdx holds its index.
    ConfigTarvo::TTarvoDoc* m_pDoc = nullptr;
    int m_nCardIdx = -1;

    TOrv_KEYNUM m_Number{};
    QString m_sName;
    std::int32_t m_nLevel = 0;
    QString m_sComment;

    int exec() override;

    // Key text in input form AFormat (0 hexadecimal, 1 WIN-PAK decimal) and back; a text that does not
    // read gives a number of length 0.
    static QString NumberToText(const TOrv_KEYNUM& ANumber, int AFormat);
    static TOrv_KEYNUM TextToNumber(const QString& AText, int AFormat);

    QLineEdit* edtNumber = nullptr;
    QComboBox* cbKeEdit = nullptr;
    QLineEdit* edtName = nullptr;
    QSpinBox* edtLevel = nullptr;
    QPlainTextEdit* edtComment = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;

private:
    void LoadFromDoc();
    void cbKeEditChange(int AIndex);
    void btnOkClick();

    int m_nCtrlUpdate = 0;
    int m_nShownFormat = 0; // the input form edtNumber's text is in
};

// Runs the dialog modally on ADoc for card AIdx (-1: a new one); true on OK, with VIdx the card's index.
bool DoCardDlg(QWidget* AOwner, ConfigTarvo::TTarvoDoc& ADoc, int AIdx, int* VIdx = nullptr);
