// A base for objects whose members are known when they are written: each class
// declares one static table of members (name, allowed invoke kinds, argument
// counts, handler) and gets name lookup, argument-count checks and the 438 /
// 450 errors for free. Member ids are positions in the table, resolved once by
// the caller.
//
//   class Counter : public SimpleDispatch<Counter> {
//   public:
//       static const MemberTable<Counter>& members() {
//           static const MemberTable<Counter> t{
//               {u"Value", kGet | kLet, 0, 0, &Counter::value, true},  // default member
//               {u"Add", kCall, 1, 1, &Counter::add},
//           };
//           return t;
//       }
//       std::u16string typeName() const override { return u"Counter"; }
//   private:
//       Variant value(std::uint8_t kind, std::span<Variant> args);
//       Variant add(std::uint8_t kind, std::span<Variant> args);
//   };
#pragma once

#include "Dispatch.h"
#include "ErrorTexts.h"
#include "Text.h"

#include <initializer_list>
#include <unordered_map>
#include <vector>

namespace qz {

// Invoke kinds a member accepts.
inline constexpr std::uint8_t kCall = kInvokeMethod;
inline constexpr std::uint8_t kGet = kInvokePropertyGet;
inline constexpr std::uint8_t kLet = kInvokePropertyPut;
inline constexpr std::uint8_t kSet = kInvokePropertyPutRef;

template <class T>
struct Member {
    using Handler = Variant (T::*)(std::uint8_t kind, std::span<Variant> args);
    std::u16string_view name;
    std::uint8_t kinds;   // kCall | kGet | kLet | kSet
    int minArgs;          // not counting the assigned value of a Let/Set
    int maxArgs;          // -1: any number
    Handler handler;
    bool isDefault = false;
};

template <class T>
class MemberTable {
public:
    MemberTable(std::initializer_list<Member<T>> members) : members_(members) {
        for (std::size_t i = 0; i < members_.size(); ++i) {
            byName_.emplace(members_[i].name, static_cast<std::int32_t>(i + 1));
            if (members_[i].isDefault) defaultIndex_ = static_cast<std::int32_t>(i);
        }
    }
    std::int32_t find(std::u16string_view name) const {
        auto it = byName_.find(name);
        return it == byName_.end() ? kDispidUnknown : it->second;
    }
    // The member of an id (0 is the default member), or null.
    const Member<T>* at(std::int32_t id) const {
        if (id == kDispidValue) return defaultIndex_ >= 0 ? &members_[defaultIndex_] : nullptr;
        if (id < 1 || id > static_cast<std::int32_t>(members_.size())) return nullptr;
        return &members_[id - 1];
    }

private:
    std::vector<Member<T>> members_;
    std::unordered_map<std::u16string_view, std::int32_t, NoCaseHash, NoCaseEqual> byName_;
    std::int32_t defaultIndex_ = -1;
};

// Calls a table member with the checks every object needs.
template <class T>
Variant invokeMember(T& self, const MemberTable<T>& table, std::int32_t id, std::uint8_t kind,
                     std::span<Variant> args) {
    const Member<T>* m = table.at(id);
    if (!m) throwRuntimeError(err::NoSuchMember);
    std::uint8_t allowed = kind & m->kinds;
    if (!allowed) {
        // Let on a property that only takes Set (or the reverse) is the
        // script's assignment mistake, not a missing member.
        if ((kind & (kLet | kSet)) && (m->kinds & (kLet | kSet))) throwRuntimeError(err::WrongArgCount);
        throwRuntimeError(err::NoSuchMember);
    }
    int n = static_cast<int>(args.size());
    if (allowed & (kLet | kSet)) {
        if (n < 1) throwRuntimeError(err::WrongArgCount);
        --n;
    }
    if (m->maxArgs == 0 && n > 0 && (allowed & kGet) && !(allowed & (kLet | kSet))) {
        // obj.Items(2): a property without parameters read with arguments
        // passes them to the default member of the value it returns, as
        // automation's own dispatch does.
        Variant value = (self.*(m->handler))(kGet, {});
        Dispatch* inner = value.objectValue();
        if (!inner) throwRuntimeError(err::WrongArgCount);
        return inner->invoke(kDispidValue, kind & (kCall | kGet), args);
    }
    if (n < m->minArgs || (m->maxArgs >= 0 && n > m->maxArgs)) throwRuntimeError(err::WrongArgCount);
    return (self.*(m->handler))(allowed, args);
}

template <class T>
class SimpleDispatch : public Dispatch {
public:
    std::int32_t memberId(std::u16string_view name) override { return T::members().find(name); }
    Variant invoke(std::int32_t id, std::uint8_t kind, std::span<Variant> args) override {
        return invokeMember(static_cast<T&>(*this), T::members(), id, kind, args);
    }
};

// Argument helpers for handlers.
inline bool hasArg(std::span<Variant> args, std::size_t i) {
    return i < args.size() && !args[i].isMissing();
}

} // namespace qz
