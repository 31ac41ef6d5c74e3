#include "orvreader/src/uOrvMessages.h"

#include "orvreader/OrvBase.h"
#include "orvreader/src/uOrvBus.h"

#include <iterator>

namespace Orv {

namespace {

struct TMessage {
    std::int32_t nCode;
    const char* sText;
};

const TMessage Messages[] = {
    {ORV_S_NO_MORE, "There is nothing more to fetch."},
    {ORV_S_CANCELLED, "The operation was cancelled."},
    {ORV_E_NOT_INITIALIZED, "The reader library is not initialized."},
    {ORV_E_INVALID_ARG, "An invalid argument was passed to the reader library."},
    {ORV_E_INVALID_HANDLE, "The handle is not open."},
    {ORV_E_OUT_OF_MEMORY, "The reader library ran out of memory."},
    {ORV_E_NOT_SUPPORTED, "The reader does not support this operation."},
    {ORV_E_BUS, "The virtual reader bus cannot be used."},
    {ORV_E_WRONG_HANDLE_KIND, "The handle is of another kind."},
    {ORV_E_PORT_NOT_FOUND, "The port does not exist."},
    {ORV_E_PORT_BUSY, "The port is in use by another program."},
    {ORV_E_NO_READER, "No reader answers on the port."},
    {ORV_E_WRONG_READER, "The reader on the port is not of the expected type."},
    {ORV_E_DISCONNECTED, "The reader has been disconnected."},
    {ORV_E_NOT_KORVEL, "The command needs a base station reader."},
    {ORV_E_PORT_EXISTS, "A reader is already plugged into the port."},
    {ORV_E_NO_SESSION, "No program has the port open."},
    {ORV_E_NAME_IN_USE, "The serial port name is already in use."},
    {ORV_E_NO_CARD, "There is no card in the reader's field."},
};

} // namespace

const char* MessageText(std::int32_t ACode) {
    for (const TMessage& m : Messages)
        if (m.nCode == ACode)
            return m.sText;
    return nullptr;
}

const std::int32_t* MessageCodes(int& VCount) {
    static std::int32_t s_aCodes[std::size(Messages)];
    for (std::size_t i = 0; i < std::size(Messages); ++i)
        s_aCodes[i] = Messages[i].nCode;
    VCount = int(std::size(Messages));
    return s_aCodes;
}

} // namespace Orv
