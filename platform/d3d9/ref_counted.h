// Reference counting for the device's objects: AddRef and Release, and the object deletes itself when
// the count reaches zero.
#pragma once

#include "d3d9/d3d9.h"

#include <atomic>

namespace platform::d3d9 {

template <class Interface> class RefCounted : public Interface {
public:
    ULONG AddRef() override { return ++references; }

    ULONG Release() override {
        ULONG left = --references;
        if (left == 0) {
            delete this;
        }
        return left;
    }

protected:
    ~RefCounted() override = default;

private:
    std::atomic<ULONG> references{1};
};

// Holds one reference to an object and releases it when replaced or destroyed.
template <class T> class Ref {
public:
    Ref() = default;
    Ref(const Ref& other) : object(other.object) { Acquire(); }
    ~Ref() { Drop(); }
    Ref& operator=(const Ref& other) {
        Reset(other.object);
        return *this;
    }

    void Reset(T* value = nullptr) {
        if (value) {
            value->AddRef();
        }
        Drop();
        object = value;
    }
    T* Get() const { return object; }
    T* operator->() const { return object; }
    explicit operator bool() const { return object != nullptr; }

private:
    void Acquire() {
        if (object) {
            object->AddRef();
        }
    }
    void Drop() {
        if (object) {
            object->Release();
            object = nullptr;
        }
    }
    T* object = nullptr;
};

} // namespace platform::d3d9
