#pragma once
// What the "Reader devices..." dialog works on: the devices of this computer that can be card readers
// (PC/SC readers, keyboard-like input devices, serial ports) and the reader library's configuration
// file readers.ini, read and written in the library's own layout (one section per reader alias; keys
// the dialog does not know are kept).

#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

namespace ConfigTarvo {

enum class TDeviceKind { Serial = 0, Keyboard = 1, Pcsc = 2 };

// The kind's name in readers.ini ("serial", "keyboard", "pcsc").
QString DeviceKindName(TDeviceKind AKind);

struct TReaderDevice {
    TDeviceKind nKind = TDeviceKind::Serial;
    // What readers.ini names it by: the PC/SC reader's identity (its name without pcsc-lite's reader
    // number), or the device's /dev/input/by-id/..., /dev/serial/by-id/... or /dev/tty... path.
    QString sDevice;
};

// The devices found now: PC/SC readers from pcscd, keyboard-like input devices from
// ADevRoot/input/by-id (*-event-kbd), serial ports from ADevRoot/serial/by-id and ADevRoot/tty(USB|ACM)*.
std::vector<TReaderDevice> FindReaderDevices(const QString& ADevRoot = QStringLiteral("/dev"));

// One reader section of readers.ini.
struct TReaderSection {
    QString sAlias;
    std::vector<std::pair<QString, QString>> aValues; // in file order

    QString Value(const QString& AKey) const;
    void SetValue(const QString& AKey, const QString& AValue);
};

class TReadersIniFile {
public:
    // $XDG_CONFIG_HOME/tarvo/readers.ini, else ~/.config/tarvo/readers.ini.
    static QString DefaultPath();

    // Reads the file (a missing one has no sections; a longer one than the library reads is refused).
    bool Load(const QString& APath);
    // Writes it atomically (temporary file and rename); false with VError.
    bool Save(const QString& APath, QString* VError = nullptr) const;

    std::vector<TReaderSection>& Sections() { return m_aSections; }
    const std::vector<TReaderSection>& Sections() const { return m_aSections; }
    // The section of a device of that kind, or nullptr.
    TReaderSection* FindDevice(TDeviceKind AKind, const QString& ADevice);
    // The first alias free for a new reader: NFC1.., KBD1.., COM21.. as the library counts them.
    QString FreeAlias(TDeviceKind AKind) const;
    void Remove(const QString& AAlias);

private:
    std::vector<TReaderSection> m_aSections;
};

} // namespace ConfigTarvo
