// Intrusive reference counting for objects shared between the script engine,
// the host and callers. Counts are not atomic: every object lives on the thread
// that created it, as automation objects did in their apartment.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace qz {

class RefCounted {
public:
    RefCounted() = default;
    RefCounted(const RefCounted&) = delete;
    RefCounted& operator=(const RefCounted&) = delete;

    void addRef() noexcept { ++refs_; }
    // Drops one reference; the object is destroyed through lastReleased() when
    // the count reaches zero (a script class runs its terminate handler there).
    void release() noexcept {
        if (--refs_ == 0) lastReleased();
    }
    std::uint32_t refCount() const noexcept { return refs_; }

protected:
    virtual ~RefCounted() = default;
    virtual void lastReleased() noexcept { destroy(this); }

    // Deletes an object. A deletion caused by another one (the last reference
    // to an array or object held by the object being deleted) is queued and
    // done after it, one after the other: a long chain of nested arrays or
    // linked objects cannot exhaust the stack.
    static void destroy(RefCounted* obj) noexcept;

private:
    std::uint32_t refs_ = 0;
};

inline void RefCounted::destroy(RefCounted* obj) noexcept {
    struct Queue {
        std::vector<RefCounted*> items;
        bool draining = false;
    };
    thread_local Queue queue;
    if (queue.draining) {
        try {
            queue.items.push_back(obj);
        } catch (...) {
            delete obj;  // no memory for the queue: delete at once
        }
        return;
    }
    queue.draining = true;
    delete obj;
    while (!queue.items.empty()) {
        RefCounted* next = queue.items.back();
        queue.items.pop_back();
        delete next;
    }
    queue.draining = false;
}

// Smart pointer over a RefCounted object.
template <class T>
class Ref {
public:
    Ref() noexcept = default;
    Ref(std::nullptr_t) noexcept {}
    Ref(T* p) noexcept : p_(p) { if (p_) p_->addRef(); }
    Ref(const Ref& o) noexcept : p_(o.p_) { if (p_) p_->addRef(); }
    Ref(Ref&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    template <class U>
    Ref(const Ref<U>& o) noexcept : p_(o.get()) { if (p_) p_->addRef(); }
    ~Ref() { if (p_) p_->release(); }

    Ref& operator=(const Ref& o) noexcept { Ref(o).swap(*this); return *this; }
    Ref& operator=(Ref&& o) noexcept { Ref(std::move(o)).swap(*this); return *this; }

    void swap(Ref& o) noexcept { std::swap(p_, o.p_); }
    void reset() noexcept { Ref().swap(*this); }

    T* get() const noexcept { return p_; }
    // Gives up the reference without releasing it: the caller owns it now.
    T* detach() noexcept { return std::exchange(p_, nullptr); }
    T* operator->() const noexcept { return p_; }
    T& operator*() const noexcept { return *p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    friend bool operator==(const Ref& a, const Ref& b) noexcept { return a.p_ == b.p_; }

private:
    T* p_ = nullptr;
};

template <class T, class... Args>
Ref<T> makeRef(Args&&... args) {
    return Ref<T>(new T(std::forward<Args>(args)...));
}

} // namespace qz
