#pragma once

// xmlrpc-epi's queue header declares no C linkage of its own, and <xmlrpc.h> pulls it in.
extern "C" {
#include <queue.h>
}
#include <xmlrpc.h>

#include <utility>

namespace xmlrpc {

// Owns one xmlrpc-epi value and everything in it; frees them when it goes.
class Value {
public:
    Value() = default;
    explicit Value(XMLRPC_VALUE value) : value_(value) {}
    ~Value() { reset(); }
    Value(Value&& other) noexcept : value_(std::exchange(other.value_, nullptr)) {}
    Value& operator=(Value&& other) noexcept
    {
        if (this != &other)
            reset(std::exchange(other.value_, nullptr));
        return *this;
    }
    Value(const Value&) = delete;
    Value& operator=(const Value&) = delete;

    XMLRPC_VALUE get() const { return value_; }
    explicit operator bool() const { return value_ != nullptr; }
    // Hands the value over; the caller frees it (or gives it to a vector, which then does).
    XMLRPC_VALUE release() { return std::exchange(value_, nullptr); }
    void reset(XMLRPC_VALUE value = nullptr)
    {
        if (value_ != nullptr)
            XMLRPC_CleanupValue(value_);
        value_ = value;
    }

private:
    XMLRPC_VALUE value_ = nullptr;
};

}  // namespace xmlrpc
