// Runs one benchmark program: script_bench file.vbs [rows]
// The program's Sub Main runs with two host objects: Out (Echo prints its
// arguments) and Rs, a read-only recordset of generated rows (EOF, MoveNext,
// and the default member Item(field name)).
#include "platform/automation/SimpleDispatch.h"
#include "platform/automation/Text.h"
#include "platform/script/ScriptControl.h"

#include <fstream>
#include <iostream>
#include <sstream>

using namespace qz;

namespace {

class Out : public SimpleDispatch<Out> {
public:
    static const MemberTable<Out>& members() {
        static const MemberTable<Out> t{{u"Echo", kCall, 0, -1, &Out::echo}};
        return t;
    }
    std::u16string typeName() const override { return u"Out"; }

private:
    Variant echo(std::uint8_t, std::span<Variant> args) {
        for (auto& a : args) std::cout << a.toUtf8() << ' ';
        std::cout << '\n';
        return {};
    }
};

class Rs : public SimpleDispatch<Rs> {
public:
    explicit Rs(int rows) : rows_(rows) {}
    static const MemberTable<Rs>& members() {
        static const MemberTable<Rs> t{
            {u"Item", kGet, 1, 1, &Rs::item, true},
            {u"EOF", kGet, 0, 0, &Rs::eof},
            {u"MoveNext", kCall, 0, 0, &Rs::moveNext},
        };
        return t;
    }
    std::u16string typeName() const override { return u"Recordset"; }

private:
    Variant item(std::uint8_t, std::span<Variant> args) {
        const std::u16string& name = args[0].stringValue();
        if (equalsNoCase(name, u"Id")) return Variant(static_cast<std::int32_t>(pos_ + 1));
        if (equalsNoCase(name, u"Name")) return Variant(u"Customer " + std::u16string(1, u'A' + pos_ % 26));
        if (equalsNoCase(name, u"Amount")) return Variant((pos_ % 1000) / 4.0);
        throwRuntimeError(3265, "Item cannot be found in the collection");
    }
    Variant eof(std::uint8_t, std::span<Variant>) { return Variant(pos_ >= rows_); }
    Variant moveNext(std::uint8_t, std::span<Variant>) {
        ++pos_;
        return {};
    }
    int rows_;
    int pos_ = 0;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: script_bench file.vbs [rows]\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::cerr << "cannot read " << argv[1] << '\n';
        return 2;
    }
    std::stringstream text;
    text << in.rdbuf();
    int rows = argc > 2 ? std::atoi(argv[2]) : 300000;
    script::ScriptControl sc;
    sc.setTimeout(0);
    sc.AddObject("Out", makeRef<Out>());
    sc.AddObject("Rs", makeRef<Rs>(rows));
    try {
        sc.AddCode(text.str());
        sc.Run("Main");
    } catch (const AutomationError& e) {
        std::cerr << "error " << e.Number << ": " << e.Description << " (line " << sc.Error().Line << ")\n";
        return 1;
    }
    return 0;
}
