// A zero-filled host block of values, handed back when it goes out of
// scope. The host also reclaims it when a call ends some other way (an
// error or a fault jumps past destructors), so what lives only in host
// blocks is never lost.
#pragma once

#include <cstddef>
#include <utility>

#include "host_services.hpp"

namespace sweeptri {

template <typename T>
class HostBlock {
public:
    HostBlock() = default;
    explicit HostBlock(std::size_t count) : data_(static_cast<T*>(kyCalloc(count == 0 ? 1 : count, sizeof(T)))) {}
    HostBlock(const HostBlock&) = delete;
    HostBlock& operator=(const HostBlock&) = delete;
    HostBlock& operator=(HostBlock&& other) noexcept
    {
        std::swap(data_, other.data_);
        return *this;
    }
    ~HostBlock() { release(); }
    void release()
    {
        if (data_ != nullptr) kyFree(data_);
        data_ = nullptr;
    }
    T* get() const { return data_; }
    T& operator[](std::size_t i) const { return data_[i]; }

private:
    T* data_ = nullptr;
};

}  // namespace sweeptri
