// Reference counting as COM does it: an object starts with one reference
// held by its creator, AddRef and Release return the new count, and the
// object frees itself when the count reaches zero.
#pragma once

#include <cstdint>

#include "platform/d3d9/d3d9.h"

namespace vorn::d3d {

template <class Interface>
class ComObject : public Interface {
 public:
#if defined(_WIN32)
  // Only IUnknown is answered: Vorn never asks an object for another interface.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!IsEqualIID(id, IID_IUnknown)) return E_NOINTERFACE;
    AddRef();
    *object = static_cast<IUnknown*>(this);
    return S_OK;
  }
#endif
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override {
    if (references_ == 0) return 0;  // a release too many: ignore it rather than free twice
    ULONG remaining = --references_;
    if (remaining == 0) delete this;
    return remaining;
  }
  ULONG references() const { return references_; }

  ComObject() = default;
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

 protected:
  virtual ~ComObject() = default;

 private:
  ULONG references_ = 1;
};

// A process-wide unique number for each created object (GL names are reused,
// these never are), used as cache keys.
std::uint64_t nextObjectId();

}  // namespace vorn::d3d
