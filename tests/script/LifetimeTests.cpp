// When what a script made is freed: cycles through dictionaries and class
// instances go when the control is reset or destroyed, what the host still
// holds stays whole, and a cycle the script breaks goes at once.
#include "ScriptTestUtil.h"

#include "platform/script/runtime/Dictionary.h"

namespace qz::script::test {
namespace {

// A host object that counts how many of its kind are alive.
class Probe : public SimpleDispatch<Probe> {
public:
    explicit Probe(int& alive) : alive_(alive) { ++alive_; }
    ~Probe() override { --alive_; }
    static const MemberTable<Probe>& members() {
        static const MemberTable<Probe> t{};
        return t;
    }
    std::u16string typeName() const override { return u"Probe"; }

private:
    int& alive_;
};

// Runs code that stores the probe "p" somewhere, then resets the control.
int aliveAfterReset(const std::string& code) {
    int alive = 0;
    ScriptControl sc;
    sc.AddObject("p", Ref<Dispatch>(new Probe(alive)));
    sc.AddCode(code);
    EXPECT_EQ(alive, 1) << code;
    sc.Reset();
    return alive;
}

TEST(ScriptLifetime, CyclesThroughDictionariesGoAtReset) {
    const std::string dict = "Set d = CreateObject(\"Scripting.Dictionary\")\r\n";
    const std::string cls = "Class C\r\n Public Link, Item\r\nEnd Class\r\n";
    const std::string codes[] = {
        dict + "d.Add \"me\", d\r\nd.Add \"p\", p",
        dict + "Set e = CreateObject(\"Scripting.Dictionary\")\r\nd.Add 1, e\r\ne.Add 2, d\r\ne.Add 3, p",
        cls + dict + "Set c = New C\r\nSet c.Link = d\r\nd.Add \"c\", c\r\nSet c.Item = p",
        dict + "d.Add \"arr\", Array(1, Array(d, p))",
        dict + "d.Add d, p",  // the dictionary as its own key
        cls + "Set c = New C\r\nSet c.Link = c\r\nSet c.Item = p",
        // Made by a procedure and only kept by the cycle.
        "Sub Make\r\n Dim d\r\n Set d = CreateObject(\"Scripting.Dictionary\")\r\n d.Add \"me\", d\r\n"
        " d.Add \"p\", p\r\nEnd Sub\r\nMake",
        // GetObject makes dictionaries too.
        "Set d = GetObject(, \"Scripting.Dictionary\")\r\nd.Add \"me\", d\r\nd.Add \"p\", p",
    };
    for (const auto& code : codes) EXPECT_EQ(aliveAfterReset(code), 0) << code;

    int alive = 0;
    {
        ScriptControl sc;
        sc.AddObject("p", Ref<Dispatch>(new Probe(alive)));
        sc.AddCode(dict + "d.Add \"me\", d\r\nd.Add \"p\", p");
    }
    EXPECT_EQ(alive, 0);  // destroying the control is a reset too
}

TEST(ScriptLifetime, WhatTheHostHoldsStaysWhole) {
    int alive = 0;
    ScriptControl sc;
    sc.AddObject("p", Ref<Dispatch>(new Probe(alive)));
    sc.AddCode(
        "Class C\r\n Public Link\r\nEnd Class\r\n"
        "Function Make\r\n"
        " Set d = CreateObject(\"Scripting.Dictionary\")\r\n"
        " d.Add \"me\", d\r\n"
        " Set c = New C\r\n c.Link = Array(d, p)\r\n d.Add \"c\", c\r\n"
        " Set Make = d\r\n"
        "End Function\r\n");
    Variant kept = sc.Run("Make");
    sc.Reset();
    auto* d = dynamic_cast<Dictionary*>(kept.objectValue());
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->count(), 2);
    EXPECT_EQ(alive, 1);  // reached from the kept dictionary through the instance
    // The host breaks the cycle it kept; everything goes.
    d->removeAll();
    EXPECT_EQ(alive, 0);
    kept = Variant();
}

TEST(ScriptLifetime, CyclesTheScriptBreaksGoAtOnce) {
    Script s(
        "Dim gone\r\n"
        "Class T\r\n Sub Class_Terminate\r\n  gone = gone + 1\r\n End Sub\r\nEnd Class\r\n"
        "Set d = CreateObject(\"Scripting.Dictionary\")\r\n"
        "d.Add \"me\", d\r\nd.Add \"t\", New T\r\n"
        "d.Remove \"me\"\r\nr1 = gone\r\nSet d = Nothing\r\nr2 = gone\r\n"
        "Set e = CreateObject(\"Scripting.Dictionary\")\r\n"
        "e.Add \"me\", e\r\ne.Add \"t\", New T\r\ne.RemoveAll\r\nr3 = gone\r\n");
    EXPECT_TRUE(s.eval("r1").isEmpty());
    EXPECT_EQ(s.num("r2"), 1);
    EXPECT_EQ(s.num("r3"), 2);
}

// Class_Terminate of an item may use the dictionary that is dropping it.
TEST(ScriptLifetime, TerminateThatUsesTheDictionaryDroppingIt) {
    Script s(
        "Class T\r\n Sub Class_Terminate\r\n  d.Add \"t\" & d.Count, 1\r\n End Sub\r\nEnd Class\r\n"
        "Set d = CreateObject(\"Scripting.Dictionary\")\r\n"
        "d.Add \"a\", New T\r\nd.Add \"b\", New T\r\nd.RemoveAll\r\nn1 = d.Count\r\n"
        "d.Add \"c\", New T\r\nd.Remove \"c\"\r\nn2 = d.Count\r\n"
        "d.Add \"e\", New T\r\nd(\"e\") = 5\r\nn3 = d.Count\r\n");
    EXPECT_EQ(s.num("n1"), 2);
    EXPECT_EQ(s.num("n2"), 3);
    EXPECT_EQ(s.num("n3"), 5);
}

} // namespace
} // namespace qz::script::test
