// The class object of one creatable class. The table row holds its first
// reference; every further reference locks the module, so the DLL stays
// loaded exactly while a client holds the class object.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <mutex>

namespace quillmoor::driver {

// Builds a new object (aggregated when outer is given) and queries it for iid.
using InstanceCreator = HRESULT (*)(IUnknown* outer, REFIID iid, void** out);

class ClassFactory final : public IClassFactory {
public:
    explicit ClassFactory(InstanceCreator create) : create_(create) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    ~ClassFactory() = default;

    InstanceCreator create_;
    std::mutex countMutex_;  // keeps the count and its module lock in step
    LONG refs_ = 1;
};

}  // namespace quillmoor::driver
