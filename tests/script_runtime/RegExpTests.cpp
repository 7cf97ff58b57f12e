#include "Call.h"

#include "platform/script/runtime/RegExp.h"

using namespace qz;
using namespace qz::test;
using qz::script::RegExp;

namespace {

Variant get(const Variant& obj, std::u16string_view name, std::vector<Variant> args = {}) {
    return obj.objectValue()->invokeByName(name, kInvokeMethod | kInvokePropertyGet, args);
}

TEST(RegExp, TestExecuteAndSubMatches) {
    Ref<RegExp> re(new RegExp);
    re->pattern = u"(\\w+)@(\\w+)\\.com";
    EXPECT_TRUE(re->test(u"mail bob@example.com now"));
    EXPECT_FALSE(re->test(u"nothing here"));
    auto m = re->execute(u"a@b.com c@d.com");
    ASSERT_EQ(m.size(), 1u); // not Global: the first match only
    EXPECT_EQ(m[0].firstIndex, 0);
    EXPECT_EQ(m[0].value, u"a@b.com");
    ASSERT_EQ(m[0].subMatches.size(), 2u);
    EXPECT_EQ(m[0].subMatches[1].stringValue(), u"b");
    re->global = true;
    m = re->execute(u"a@b.com c@d.com");
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[1].firstIndex, 8);

    // An optional group that took no part is Empty.
    re->pattern = u"a(x)?b";
    m = re->execute(u"ab");
    ASSERT_EQ(m.size(), 1u);
    EXPECT_TRUE(m[0].subMatches[0].isEmpty());

    // Empty matches move on by one.
    re->pattern = u"a*";
    m = re->execute(u"baaa");
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[1].value, u"aaa");
    EXPECT_EQ(m[2].firstIndex, 4);
}

TEST(RegExp, OptionsAndSyntax) {
    Ref<RegExp> re(new RegExp);
    re->pattern = u"^b";
    EXPECT_FALSE(re->test(u"a\nb"));
    re->multiline = true;
    EXPECT_TRUE(re->test(u"a\nb"));
    re->pattern = u"HELLO";
    EXPECT_FALSE(re->test(u"hello"));
    re->ignoreCase = true;
    EXPECT_TRUE(re->test(u"hello"));
    re->pattern = u"\u00C9T\u00C9";
    EXPECT_TRUE(re->test(u"\u00E9t\u00E9"));
    re->pattern = u"x*";
    re->global = true;
    EXPECT_EQ(re->replace(u"a\U0001F600\xD800" u"b", u"-"), u"-a-\U0001F600-\xD800" u"-b-");
    re->global = false;
    re->ignoreCase = false;
    re->multiline = false;
    re->pattern = u"a$";
    EXPECT_FALSE(re->test(u"a\n"));    // $ is the very end, as in the script's syntax
    re->pattern = u"\\u0041\\x42";
    EXPECT_TRUE(re->test(u"AB"));
    re->pattern = u"^(a)?\\1b$"; // a group that took no part matches empty
    EXPECT_TRUE(re->test(u"b"));

    re->pattern = u"[a-";
    EXPECT_VB_ERROR(re->test(u"x"), 5019);
    re->pattern = u"(a";
    EXPECT_VB_ERROR(re->test(u"x"), 5020);
    re->pattern = u"*a";
    EXPECT_VB_ERROR(re->test(u"x"), 5018);
    re->pattern = u"[z-a]";
    EXPECT_VB_ERROR(re->test(u"x"), 5021);
}

TEST(RegExp, ReplaceReferences) {
    Ref<RegExp> re(new RegExp);
    re->pattern = u"(\\w+) (\\w+)";
    EXPECT_EQ(re->replace(u"hello world", u"$2 $1"), u"world hello");
    EXPECT_EQ(re->replace(u"hello world!", u"[$&]"), u"[hello world]!");
    EXPECT_EQ(re->replace(u"<hello world>", u"$`|$'"), u"<<|>>");
    EXPECT_EQ(re->replace(u"hello world", u"$$1 $3 $"), u"$1 $3 $");
    re->pattern = u"o";
    EXPECT_EQ(re->replace(u"foo boo", u"0"), u"f0o boo");
    re->global = true;
    EXPECT_EQ(re->replace(u"foo boo", u"0"), u"f00 b00");
    re->pattern = u"x*";
    EXPECT_EQ(re->replace(u"abc", u"-"), u"-a-b-c-");
    re->pattern = u"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)";
    EXPECT_EQ(re->replace(u"abcdefghijk", u"$11$10$1"), u"kja");
}

TEST(RegExp, PathologicalPatternFailsInsteadOfHanging) {
    Ref<RegExp> re(new RegExp);
    re->pattern = u"(a+)+$";
    std::u16string subject(40, u'a');
    subject += u'b';
    EXPECT_VB_ERROR(re->test(subject), 28);
}

TEST(RegExp, ScriptMembersAndCollections) {
    Variant re(script::createObject(u"VBScript.RegExp"));
    Dispatch& d = *re.objectValue();
    std::vector<Variant> v{S(u"(\\d)(\\d)")};
    d.invokeByName(u"Pattern", kInvokePropertyPut, v);
    v = {Variant(true)};
    d.invokeByName(u"Global", kInvokePropertyPut, v);
    EXPECT_TRUE(get(re, u"Global").boolValue());
    Variant matches = get(re, u"Execute", {S(u"a12b34")});
    EXPECT_EQ(get(matches, u"Count").longValue(), 2);
    Variant second = get(matches, u"Item", {I(1)});
    EXPECT_EQ(get(second, u"FirstIndex").longValue(), 4);
    EXPECT_EQ(get(second, u"Length").longValue(), 2);
    EXPECT_EQ(second.toString(), u"34"); // Value is the default member
    Variant subs = get(second, u"SubMatches");
    EXPECT_EQ(get(subs, u"Count").longValue(), 2);
    EXPECT_EQ(get(subs, u"Item", {I(0)}).stringValue(), u"3");
    EXPECT_VB_ERROR(get(matches, u"Item", {I(2)}), 5);
    std::u16string all;
    Ref<Enumerator> e = matches.objectValue()->newEnum();
    for (Variant m; e->next(m);) all += m.toString();
    EXPECT_EQ(all, u"1234");
    EXPECT_EQ(get(re, u"Replace", {S(u"a12b34"), S(u"<$2$1>")}).stringValue(), u"a<21>b<43>");
    EXPECT_EQ(get(re, u"Test", {S(u"abc")}).boolValue(), false);
    EXPECT_VB_ERROR(re.toString(), 438); // the object has no default value
}

} // namespace
