// Rare<T>: an optional value kept on the heap, for what most paragraphs and
// runs do not have (a tracked change, a border). An empty one costs a pointer
// instead of the whole value, which matters with millions of runs. It reads
// like std::optional<T> (test it, `->`, `*`, assign a T or std::nullopt, compare)
// and copies its value, so the model stays plain data.
#pragma once

#include <memory>
#include <optional>
#include <utility>

namespace orvane::model {

template <typename T>
class Rare {
public:
    Rare() = default;
    Rare(std::nullopt_t) {}
    Rare(const T& value) : m_value(std::make_unique<T>(value)) {}
    Rare(T&& value) : m_value(std::make_unique<T>(std::move(value))) {}
    Rare(const std::optional<T>& value) {
        if (value) m_value = std::make_unique<T>(*value);
    }
    Rare(const Rare& other) : m_value(other.m_value ? std::make_unique<T>(*other.m_value) : nullptr) {}
    Rare(Rare&&) noexcept = default;
    Rare& operator=(const Rare& other) {
        if (this != &other) m_value = other.m_value ? std::make_unique<T>(*other.m_value) : nullptr;
        return *this;
    }
    Rare& operator=(Rare&&) noexcept = default;

    explicit operator bool() const { return m_value != nullptr; }
    bool has_value() const { return m_value != nullptr; }
    T& operator*() { return *m_value; }
    const T& operator*() const { return *m_value; }
    T* operator->() { return m_value.get(); }
    const T* operator->() const { return m_value.get(); }
    void reset() { m_value.reset(); }
    template <typename... Args>
    T& emplace(Args&&... args) {
        m_value = std::make_unique<T>(std::forward<Args>(args)...);
        return *m_value;
    }
    // As an std::optional, for code that works with those.
    std::optional<T> optional() const { return m_value ? std::optional<T>(*m_value) : std::nullopt; }
    operator std::optional<T>() const { return optional(); }

    friend bool operator==(const Rare& a, const Rare& b) {
        if (!a.m_value || !b.m_value) return !a.m_value && !b.m_value;
        return *a.m_value == *b.m_value;
    }
    friend bool operator==(const Rare& a, const std::optional<T>& b) {
        if (!a.m_value || !b) return !a.m_value && !b;
        return *a.m_value == *b;
    }

private:
    std::unique_ptr<T> m_value;
};

}  // namespace orvane::model
