// The engine's own run-time objects: Err, and the values GetRef makes.
// Internal to the script folder.
#pragma once

#include "platform/automation/SimpleDispatch.h"
#include "platform/script/EngineDetail.h"

namespace qz::script {

// The value of GetRef: calling its default member calls the procedure.
class ProcRef final : public Dispatch {
public:
    ProcRef(ProcDef* p, Ref<EngineLink> l) : proc(p), link(std::move(l)) {}
    std::int32_t memberId(std::u16string_view) override { return kDispidUnknown; }
    Variant invoke(std::int32_t id, std::uint8_t kind, std::span<Variant> args) override;
    std::u16string typeName() const override { return u"Object"; }
    ProcDef* proc;
    Ref<EngineLink> link;
};

// The Err object.
class ErrObject final : public SimpleDispatch<ErrObject> {
public:
    explicit ErrObject(Engine* e) : engine(e) {}
    static const MemberTable<ErrObject>& members() {
        static const MemberTable<ErrObject> t{
            {u"Number", kGet | kLet, 0, 0, &ErrObject::number, true},
            {u"Description", kGet | kLet, 0, 0, &ErrObject::description},
            {u"Source", kGet | kLet, 0, 0, &ErrObject::source},
            {u"HelpFile", kGet | kLet, 0, 0, &ErrObject::helpFile},
            {u"HelpContext", kGet | kLet, 0, 0, &ErrObject::helpContext},
            {u"Raise", kCall, 1, 5, &ErrObject::raise},
            {u"Clear", kCall, 0, 0, &ErrObject::clear},
        };
        return t;
    }
    std::u16string typeName() const override { return u"ErrObject"; }
    Engine* engine;

private:
    Engine::ErrState& st() {
        if (!engine) throwRuntimeError(err::ObjectRequired);  // kept by a host after the engine went
        return engine->err;
    }
    Variant number(std::uint8_t k, std::span<Variant> a) {
        if (k & kLet) { st().number = a[0].toLong(); return {}; }
        return Variant(st().number);
    }
    Variant text(std::u16string& field, std::uint8_t k, std::span<Variant> a) {
        if (k & kLet) { field = a[0].toString(); return {}; }
        return Variant(field);
    }
    Variant description(std::uint8_t k, std::span<Variant> a) { return text(st().description, k, a); }
    Variant source(std::uint8_t k, std::span<Variant> a) { return text(st().source, k, a); }
    Variant helpFile(std::uint8_t k, std::span<Variant> a) { return text(st().helpFile, k, a); }
    Variant helpContext(std::uint8_t k, std::span<Variant> a) {
        if (k & kLet) { st().helpContext = a[0].toLong(); return {}; }
        return Variant(st().helpContext);
    }
    Variant raise(std::uint8_t, std::span<Variant> a);
    Variant clear(std::uint8_t, std::span<Variant>) { st() = Engine::ErrState(); return {}; }
};

} // namespace qz::script
