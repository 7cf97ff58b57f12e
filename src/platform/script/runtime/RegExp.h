// "VBScript.RegExp": regular expressions in the script's (JavaScript-style)
// syntax, matched by PCRE2 on UTF-16 code units with a match limit, so that a
// pathological pattern fails with an error instead of hanging.
#pragma once

#include "platform/automation/SimpleDispatch.h"

#include <memory>
#include <string>
#include <vector>

namespace qz::script {

class RegExp : public SimpleDispatch<RegExp> {
public:
    RegExp();
    ~RegExp() override;
    static const MemberTable<RegExp>& members();
    std::u16string typeName() const override { return u"IRegExp2"; }

    // One match: its position (0-based), text and groups (Empty when a group
    // took no part).
    struct MatchData {
        std::int32_t firstIndex = 0;
        std::u16string value;
        std::vector<Variant> subMatches;
    };
    // What a match holds as a script object (its text and its groups'
    // places; the groups' texts count themselves).
    static constexpr std::int64_t kMatchObjectBytes = 128;
    static std::int64_t bytesOf(const MatchData& m) noexcept {
        return kMatchObjectBytes + static_cast<std::int64_t>(m.value.capacity() * sizeof(char16_t) +
                                                             m.subMatches.capacity() * sizeof(Variant));
    }

    // C++ interface.
    std::u16string pattern;
    bool ignoreCase = false;
    bool global = false;
    bool multiline = false;
    bool test(std::u16string_view subject);
    std::vector<MatchData> execute(std::u16string_view subject);
    std::u16string replace(std::u16string_view subject, std::u16string_view replacement);

private:
    struct Compiled;
    Compiled& compiled();
    // Finds the next match at or after `start`; false when there is none.
    bool matchAt(std::u16string_view subject, std::size_t start, bool validText, std::size_t& begin,
                 std::size_t& end, std::vector<std::pair<std::ptrdiff_t, std::ptrdiff_t>>* groups);

    Variant patternMember(std::uint8_t, std::span<Variant>);
    Variant ignoreCaseMember(std::uint8_t, std::span<Variant>);
    Variant globalMember(std::uint8_t, std::span<Variant>);
    Variant multilineMember(std::uint8_t, std::span<Variant>);
    Variant testMember(std::uint8_t, std::span<Variant>);
    Variant executeMember(std::uint8_t, std::span<Variant>);
    Variant replaceMember(std::uint8_t, std::span<Variant>);

    std::unique_ptr<Compiled> compiled_;
};

} // namespace qz::script
