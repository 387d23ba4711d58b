#pragma once

#include "core/util/error.h"

#include <optional>
#include <utility>

// A value, or the reason there is none.
template <typename T> class Result
{
public:
    Result(T value)
        : m_value(std::move(value))
    {}
    Result(Error error)
        : m_error(std::move(error))
    {
        if (!m_error.isError())
            m_error = Error::other(QStringLiteral("No value and no error."));
    }

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    const Error& error() const { return m_error; }

    const T& value() const { return *m_value; }
    T& value() { return *m_value; }
    const T& operator*() const { return *m_value; }
    T& operator*() { return *m_value; }
    const T* operator->() const { return &*m_value; }
    T* operator->() { return &*m_value; }
    T valueOr(T fallback) const { return m_value ? *m_value : std::move(fallback); }

private:
    std::optional<T> m_value;
    Error m_error;
};
