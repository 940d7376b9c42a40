#pragma once
// Intrusive reference counting. Shared objects derive from QC_RefCounted and are held through
// QC_Ptr; an object deletes itself when its last reference goes, on whichever thread that is.
//
//   QC_Ptr<QC_Image> image(new QC_Image(4, 4));   // count 1
//   QC_Ptr<QC_Image> other = image;               // count 2
//
// Creation functions return a new object holding one reference for the caller (a raw pointer
// that the caller adopts with QC_Ptr::Adopt, or a QC_Ptr).

#include "QC_Log.h"

#include <atomic>
#include <cstdint>
#include <utility>

class QC_RefCounted
{
public:
    QC_RefCounted() = default;
    QC_RefCounted(const QC_RefCounted&) = delete;
    QC_RefCounted& operator=(const QC_RefCounted&) = delete;
    // Deleting an object that still has references is a programming error.
    virtual ~QC_RefCounted() { QC_ASSERT(refCount.load() == 0, "Ref count should be zero."); }

    std::int32_t AddRef() const { return refCount.fetch_add(1, std::memory_order_relaxed) + 1; }
    std::int32_t Release() const
    {
        // acq_rel: whoever deletes the object sees every write made under the other references.
        const std::int32_t remaining = refCount.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (remaining == 0)
            delete this;
        return remaining;
    }
    std::int32_t RefCount() const { return refCount.load(std::memory_order_relaxed); }

private:
    mutable std::atomic<std::int32_t> refCount{0};
};

template <typename T>
class QC_Ptr
{
public:
    QC_Ptr() = default;
    QC_Ptr(std::nullptr_t) {}
    QC_Ptr(T* object) : pointer(object) { AddRefTo(pointer); }
    QC_Ptr(const QC_Ptr& other) : pointer(other.pointer) { AddRefTo(pointer); }
    template <typename U>
    QC_Ptr(const QC_Ptr<U>& other) : pointer(other.Get())
    {
        AddRefTo(pointer);
    }
    QC_Ptr(QC_Ptr&& other) noexcept : pointer(other.pointer) { other.pointer = nullptr; }
    ~QC_Ptr() { ReleaseOf(pointer); }

    // Adds a reference to the new object before releasing the old one: self-assignment is safe.
    QC_Ptr& operator=(const QC_Ptr& other)
    {
        Reset(other.pointer);
        return *this;
    }
    QC_Ptr& operator=(T* object)
    {
        Reset(object);
        return *this;
    }
    QC_Ptr& operator=(QC_Ptr&& other) noexcept
    {
        if (&other != this) {
            T* old = pointer;
            pointer = other.pointer;
            other.pointer = nullptr;
            ReleaseOf(old);
        }
        return *this;
    }

    void Reset(T* object = nullptr)
    {
        AddRefTo(object);
        T* old = pointer;
        pointer = object;
        ReleaseOf(old);
    }

    T* Get() const { return pointer; }
    T* operator->() const { return pointer; }
    T& operator*() const { return *pointer; }
    explicit operator bool() const { return pointer != nullptr; }
    bool operator==(const QC_Ptr& other) const { return pointer == other.pointer; }
    bool operator==(const T* other) const { return pointer == other; }

private:
    static void AddRefTo(T* object)
    {
        if (object)
            object->AddRef();
    }
    static void ReleaseOf(T* object)
    {
        if (object)
            object->Release();
    }

    T* pointer = nullptr;
};
