#pragma once
// The about box of both programs: program icon, product name, file version and release date.

#include <QDate>
#include <QDialog>

#include <cstdint>

class QLabel;
class QPushButton;

class TfmAboutDlg : public QDialog {
    Q_OBJECT
public:
    // APackedVersion as uFileVersion packs it; AReleaseDate shown in the short date format.
    TfmAboutDlg(QWidget* AOwner, std::uint32_t APackedVersion, const QDate& AReleaseDate);

    // "%s (%s)": version "%d.%d.%d.%d" and the release date in the locale's short date format.
    static QString VersionLine(std::uint32_t APackedVersion, const QDate& AReleaseDate);
    // The date this program was built (the compiler's __DATE__ of the gui library).
    static QDate BuildDate();

    QLabel* imgIcon = nullptr;
    QLabel* labProduct = nullptr;
    QLabel* labVersion = nullptr; // not translated: it holds numbers only
    QPushButton* btnOk = nullptr;
};

// Shows the about box modally over AOwner with this program's version and build date.
void DoAboutDlg(QWidget* AOwner);
