#pragma once
// Helpers of the C functions: no exception crosses the C boundary, and every handle call runs under
// its handle's lock.

#include "orvreader/src/uOrvCore.h"

#include <exception>
#include <new>

namespace Orv {

template <class F> std::int32_t Guard(F AFunc) noexcept {
    try {
        return AFunc();
    } catch (const std::bad_alloc&) {
        return ORV_E_OUT_OF_MEMORY;
    } catch (...) {
        return ORV_E_BUS;
    }
}

template <class T, class F> std::int32_t WithHandle(HORV AHandle, THandleKind AKind, F AFunc) noexcept {
    return Guard([&]() -> std::int32_t {
        std::int32_t r = ORV_OK;
        std::shared_ptr<T> lObj = TCore::Instance().Get<T>(AHandle, AKind, r);
        if (!lObj)
            return r;
        std::lock_guard<std::mutex> g(lObj->oLock);
        return AFunc(*lObj);
    });
}

template <class F> std::int32_t WithReader(HORV AHandle, F AFunc) noexcept {
    return WithHandle<TReaderObj>(AHandle, THandleKind::Reader, [&](TReaderObj& AObj) -> std::int32_t {
        if (!AObj.pReader)
            return ORV_E_INVALID_HANDLE;
        return AFunc(AObj);
    });
}

} // namespace Orv
