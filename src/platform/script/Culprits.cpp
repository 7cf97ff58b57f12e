// The names that run-time errors report to the host: "Variable is undefined:
// 'x'", "Type mismatch: 'CLng'", "Object doesn't support this property or
// method: 'd.Nope'". Kept out of line: only failing paths come here.
#include "platform/script/EngineDetail.h"

namespace qz::script {

void failNamed(std::int32_t n, std::u16string_view culprit) {
    if (culprit.empty()) throwRuntimeError(n);
    throw NamedError(runtimeError(n), toUtf8(culprit));
}

void rethrowNamed(AutomationError& e, std::u16string_view culprit) {
    if (dynamic_cast<NamedError*>(&e) || e.Source != kRuntimeErrorSource) throw;
    throw NamedError(std::move(e), toUtf8(culprit));
}

std::u16string objectCulprit(const Expr& member) {
    const Expr* a = member.a.get();
    return a && a->kind == EK::Ident && !a->hasArgs ? a->name : std::u16string();
}

std::u16string memberCulprit(const Expr& member) {
    std::u16string obj = objectCulprit(member);
    return obj.empty() || member.name.empty() ? std::u16string() : obj + u"." + member.name;
}

ScriptFailure failureAt(AutomationError& e, std::int32_t line, std::int32_t col, const Block* b) {
    std::string culprit;
    if (auto* n = dynamic_cast<NamedError*>(&e)) culprit = std::move(n->culprit);
    return ScriptFailure{std::move(e), line, col, b, std::move(culprit)};
}

} // namespace qz::script
