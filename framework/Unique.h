#pragma once
// One move-only owner for every kind of handle. A Traits type names the handle type, its
// empty value and how to release it: Unique<FileHandleTraits>, Unique<RegKeyTraits>, ...
#include <utility>

template <class Traits> class Unique {
public:
    using Handle = typename Traits::Handle;

    Unique() noexcept = default;
    explicit Unique(Handle handle) noexcept : FHandle(handle) {}
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    Unique(Unique&& other) noexcept : FHandle(other.Release()) {}
    Unique& operator=(Unique&& other) noexcept {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    ~Unique() { Reset(); }

    Handle Get() const noexcept { return FHandle; }
    explicit operator bool() const noexcept { return FHandle != Traits::Empty(); }

    Handle Release() noexcept { return std::exchange(FHandle, Traits::Empty()); }

    // Releases the handle now; true when there was none or closing it succeeded.
    bool Reset(Handle handle = Traits::Empty()) noexcept {
        Handle old = std::exchange(FHandle, handle);
        return old == Traits::Empty() || Traits::Close(old);
    }

private:
    Handle FHandle = Traits::Empty();
};
