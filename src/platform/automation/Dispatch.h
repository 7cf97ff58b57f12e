// Objects called by member name: the script's own class instances, the host's
// objects (the output object, recordsets, a caller's objects) and the built-in
// library objects all meet through this one interface.
//
// A caller resolves a name to a member id once (case-insensitively) and then
// invokes by id, so that hot paths never compare names.
#pragma once

#include "Ref.h"
#include "Variant.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qz {

inline constexpr std::int32_t kDispidUnknown = -1;   // no such member
inline constexpr std::int32_t kDispidValue = 0;      // the default member
inline constexpr std::int32_t kDispidNewEnum = -4;   // For Each support

// How a member is invoked; flags may be combined (a call whose form does not
// tell a method from a property get passes Method | PropertyGet).
enum InvokeKind : std::uint8_t {
    kInvokeMethod = 1,
    kInvokePropertyGet = 2,
    kInvokePropertyPut = 4,     // Let: the value is the last argument
    kInvokePropertyPutRef = 8,  // Set: the value is the last argument
};

// Iterates the items of a collection for For Each.
class Enumerator : public RefCounted {
public:
    // Stores the next item in out and returns true, or returns false at the end.
    virtual bool next(Variant& out) = 0;
};

class Dispatch : public RefCounted {
public:
    // The member id of a name, compared without regard to case, or kDispidUnknown.
    virtual std::int32_t memberId(std::u16string_view name) = 0;

    // Calls a member. Arguments come in source order; a by-reference argument
    // may be written back through its slot. Failures throw AutomationError
    // (438 when the member or the invoke kind is not supported).
    virtual Variant invoke(std::int32_t memberId, std::uint8_t kind, std::span<Variant> args) = 0;

    // What TypeName() reports for this object.
    virtual std::u16string typeName() const = 0;

    // For Each; null when the object is not a collection.
    virtual Ref<Enumerator> newEnum() { return nullptr; }

    // Whether getting this member, with arguments that are plain values (no
    // objects), changes nothing a caller could see and gives the same value
    // again as long as nothing else is called in between. A script may then
    // read such a value once where its code reads it several times in a row.
    virtual bool pureGet(std::int32_t /*memberId*/) const { return false; }

    // Convenience: look up a name and invoke it (438 when it is absent).
    Variant invokeByName(std::u16string_view name, std::uint8_t kind, std::span<Variant> args);
};

} // namespace qz

namespace qz {

// Reference counting of Variant's shared payloads, inline (here, where
// Dispatch is complete): every copy and every release of a String, object, Decimal or
// array Variant comes through here.
inline void Variant::addRefPayload() const noexcept {
    if (type_ == VarType::String) u_.str->addRef();
    else if (type_ == VarType::Object) { if (u_.obj) u_.obj->addRef(); }
    else if (type_ == VarType::Decimal) u_.dec->addRef();
    else u_.arr->addRef();
}

inline void Variant::releasePayload() noexcept {
    if (type_ == VarType::String) u_.str->release();
    else if (type_ == VarType::Object) { if (u_.obj) u_.obj->release(); }
    else if (type_ == VarType::Decimal) u_.dec->release();
    else u_.arr->release();
}

} // namespace qz
