#include "Dispatch.h"

#include "ErrorTexts.h"

namespace qz {

Variant Dispatch::invokeByName(std::u16string_view name, std::uint8_t kind,
                               std::span<Variant> args) {
    std::int32_t id = memberId(name);
    if (id == kDispidUnknown) throwRuntimeError(err::NoSuchMember);
    return invoke(id, kind, args);
}

} // namespace qz
