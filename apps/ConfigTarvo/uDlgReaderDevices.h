#pragma once
// "Reader devices...": the devices of this computer that can be card readers, where the owner marks
// the one that is the reader, picks its number format (and a serial reader's speed and framing) and
// tries it: "Present a card now" saves the choice, opens the reader through the reader library and
// shows the number of the next card in every format, so the right format is obvious. OK keeps the
// choice in the library's readers.ini, where the port list and "Find" then see the reader.

#include "apps/ConfigTarvo/uDlgReaderDevicesList.h"

#include <QDialog>

#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class TOrvReader;
struct TOrvR_CARD_INFO;

class TfmReaderDevicesDlg : public QDialog {
    Q_OBJECT
public:
    explicit TfmReaderDevicesDlg(QWidget* AOwner = nullptr, const QString& AIniPath = QString());
    ~TfmReaderDevicesDlg() override;

    // Lists the devices again (also done at creation).
    void Refill();
    // The configuration as the dialog would save it.
    const Orv::TReadersConf& Configuration() const { return m_oIni; }

    QTreeWidget* lvDevices = nullptr;
    QCheckBox* chkReader = nullptr;
    QLineEdit* edtAlias = nullptr;
    QComboBox* cbFormat = nullptr;
    QComboBox* cbSpeed = nullptr;
    QComboBox* cbFraming = nullptr;
    QPushButton* btnTest = nullptr;
    QLabel* labTest = nullptr;
    QTreeWidget* lvNumbers = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;

private:
    void DeviceChanged();
    // The controls into the configuration for the selected device.
    void StoreSelected();
    bool SaveFile();
    void btnTestClick();
    void btnOkClick();
    void CardInserted(const TOrvR_CARD_INFO& ACard);
    void StopTest();
    int Selected() const;

    QString m_sIniPath;
    Orv::TReadersConf m_oIni;
    std::vector<ConfigTarvo::TReaderDevice> m_aDevices;
    std::unique_ptr<TOrvReader> m_pTest;
    bool m_fLoading = false;
};
