#include "Builtins.h"

#include "platform/automation/Text.h"

#include <algorithm>
#include <mutex>
#include <unordered_map>

namespace qz::script {

// ---------------------------------------------------------------------------
// Argument helpers

std::int32_t longArg(const Variant& v) { return v.toLong(); }

std::int32_t longArg(std::span<Variant> args, std::size_t i, std::int32_t dflt) {
    return given(args, i) ? args[i].toLong() : dflt;
}

std::u16string stringArg(const Variant& v) {
    if (v.isString()) return v.stringValue();
    return v.toString();
}

ops::CompareMode compareArg(std::span<Variant> args, std::size_t i) {
    if (!given(args, i)) return ops::CompareMode::Binary;
    std::int32_t m = args[i].toLong();
    if (m == 0) return ops::CompareMode::Binary;
    if (m == 1) return ops::CompareMode::Text;
    throwRuntimeError(err::InvalidCall);
}

void checkLength(std::int64_t n) {
    if (n < 0) throwRuntimeError(err::InvalidCall);
    if (n > kMaxStringLength) throwRuntimeError(err::OutOfMemory);
    reserveMemory(n * static_cast<std::int64_t>(sizeof(char16_t)));
}

// ---------------------------------------------------------------------------
// The function table

namespace {

constexpr BuiltinFunction kFunctions[] = {
#define F(name, minA, maxA) {u## #name, minA, maxA, &fn::name},
    F(Abs, 1, 1) F(Array, 0, kAnyNumberOfArgs) F(Asc, 1, 1) F(AscB, 1, 1) F(AscW, 1, 1) F(Atn, 1, 1)
    F(CBool, 1, 1) F(CByte, 1, 1) F(CCur, 1, 1) F(CDate, 1, 1) F(CDbl, 1, 1) F(Chr, 1, 1)
    F(ChrB, 1, 1) F(ChrW, 1, 1) F(CInt, 1, 1) F(CLng, 1, 1) F(Cos, 1, 1) F(CSng, 1, 1)
    F(CStr, 1, 1) F(Date, 0, 0) F(DateAdd, 3, 3) F(DateDiff, 3, 5) F(DatePart, 2, 4)
    F(DateSerial, 3, 3) F(DateValue, 1, 1) F(Day, 1, 1) F(Escape, 1, 1) F(Exp, 1, 1)
    F(Filter, 2, 4) F(Fix, 1, 1) F(FormatCurrency, 1, 5) F(FormatDateTime, 1, 2)
    F(FormatNumber, 1, 5) F(FormatPercent, 1, 5) F(Hex, 1, 1) F(Hour, 1, 1) F(InStr, 2, 4)
    F(InStrB, 2, 4) F(InStrRev, 2, 4) F(Int, 1, 1) F(IsArray, 1, 1) F(IsDate, 1, 1)
    F(IsEmpty, 1, 1) F(IsNull, 1, 1) F(IsNumeric, 1, 1) F(IsObject, 1, 1) F(Join, 1, 2)
    F(LBound, 1, 2) F(LCase, 1, 1) F(Left, 2, 2) F(LeftB, 2, 2) F(Len, 1, 1) F(LenB, 1, 1)
    F(Log, 1, 1) F(LTrim, 1, 1) F(Mid, 2, 3) F(MidB, 2, 3) F(Minute, 1, 1) F(Month, 1, 1)
    F(MonthName, 1, 2) F(Now, 0, 0) F(Oct, 1, 1) F(Replace, 3, 6) F(RGB, 3, 3)
    F(Right, 2, 2) F(RightB, 2, 2) F(Rnd, 0, 1) F(Round, 1, 2) F(RTrim, 1, 1) F(Second, 1, 1)
    F(Sgn, 1, 1) F(Sin, 1, 1) F(Space, 1, 1) F(Split, 1, 4) F(Sqr, 1, 1) F(StrComp, 2, 3)
    F(String, 2, 2) F(StrReverse, 1, 1) F(Tan, 1, 1) F(Time, 0, 0) F(Timer, 0, 0)
    F(TimeSerial, 3, 3) F(TimeValue, 1, 1) F(Trim, 1, 1) F(TypeName, 1, 1) F(UBound, 1, 2)
    F(UCase, 1, 1) F(Unescape, 1, 1) F(VarType, 1, 1) F(Weekday, 1, 2)
    F(WeekdayName, 1, 3) F(Year, 1, 1)
#undef F
};

struct FunctionIndex {
    std::unordered_map<std::u16string_view, const BuiltinFunction*, NoCaseHash, NoCaseEqual> byName;
    FunctionIndex() {
        for (const BuiltinFunction& f : kFunctions) byName.emplace(f.name, &f);
    }
};

const FunctionIndex& functionIndex() {
    static const FunctionIndex index;
    return index;
}

} // namespace

std::span<const BuiltinFunction> builtinFunctions() { return kFunctions; }

const BuiltinFunction* findBuiltin(std::u16string_view name) {
    const auto& m = functionIndex().byName;
    auto it = m.find(name);
    return it == m.end() ? nullptr : it->second;
}

// ---------------------------------------------------------------------------
// Constants

const std::vector<std::pair<std::u16string, Variant>>& builtinConstants() {
    static const std::vector<std::pair<std::u16string, Variant>> constants = [] {
        std::vector<std::pair<std::u16string, Variant>> c;
        auto i = [&](const char16_t* name, int v) { c.emplace_back(name, Variant(static_cast<std::int16_t>(v))); };
        auto l = [&](const char16_t* name, std::int32_t v) { c.emplace_back(name, Variant(v)); };
        auto s = [&](const char16_t* name, std::u16string v) { c.emplace_back(name, Variant(std::move(v))); };
        // Strings
        s(u"vbCr", u"\r");
        s(u"vbLf", u"\n");
        s(u"vbCrLf", u"\r\n");
        s(u"vbNewLine", u"\r\n");
        s(u"vbNullChar", std::u16string(1, u'\0'));
        s(u"vbNullString", u"");
        s(u"vbTab", u"\t");
        s(u"vbVerticalTab", u"\v");
        s(u"vbFormFeed", u"\f");
        s(u"vbBack", u"\b");
        // Comparison
        i(u"vbBinaryCompare", 0);
        i(u"vbTextCompare", 1);
        i(u"vbDatabaseCompare", 2);
        // Days and weeks
        i(u"vbUseSystemDayOfWeek", 0);
        i(u"vbSunday", 1);
        i(u"vbMonday", 2);
        i(u"vbTuesday", 3);
        i(u"vbWednesday", 4);
        i(u"vbThursday", 5);
        i(u"vbFriday", 6);
        i(u"vbSaturday", 7);
        i(u"vbUseSystem", 0);
        i(u"vbFirstJan1", 1);
        i(u"vbFirstFourDays", 2);
        i(u"vbFirstFullWeek", 3);
        // Date formats
        i(u"vbGeneralDate", 0);
        i(u"vbLongDate", 1);
        i(u"vbShortDate", 2);
        i(u"vbLongTime", 3);
        i(u"vbShortTime", 4);
        // Tristate
        i(u"vbTrue", -1);
        i(u"vbFalse", 0);
        i(u"vbUseDefault", -2);
        // VarType
        i(u"vbEmpty", 0);
        i(u"vbNull", 1);
        i(u"vbInteger", 2);
        i(u"vbLong", 3);
        i(u"vbSingle", 4);
        i(u"vbDouble", 5);
        i(u"vbCurrency", 6);
        i(u"vbDate", 7);
        i(u"vbString", 8);
        i(u"vbObject", 9);
        i(u"vbError", 10);
        i(u"vbBoolean", 11);
        i(u"vbVariant", 12);
        i(u"vbDataObject", 13);
        i(u"vbDecimal", 14);
        i(u"vbByte", 17);
        i(u"vbArray", 8192);
        // Message boxes: the buttons, icons, default buttons, modality and answers
        // are Integers; only the four option flags from 16384 up are Longs
        i(u"vbOKOnly", 0);
        i(u"vbOKCancel", 1);
        i(u"vbAbortRetryIgnore", 2);
        i(u"vbYesNoCancel", 3);
        i(u"vbYesNo", 4);
        i(u"vbRetryCancel", 5);
        i(u"vbCritical", 16);
        i(u"vbQuestion", 32);
        i(u"vbExclamation", 48);
        i(u"vbInformation", 64);
        i(u"vbDefaultButton1", 0);
        i(u"vbDefaultButton2", 256);
        i(u"vbDefaultButton3", 512);
        i(u"vbDefaultButton4", 768);
        i(u"vbApplicationModal", 0);
        i(u"vbSystemModal", 4096);
        l(u"vbMsgBoxHelpButton", 16384);
        l(u"vbMsgBoxSetForeground", 65536);
        l(u"vbMsgBoxRight", 524288);
        l(u"vbMsgBoxRtlReading", 1048576);
        i(u"vbOK", 1);
        i(u"vbCancel", 2);
        i(u"vbAbort", 3);
        i(u"vbRetry", 4);
        i(u"vbIgnore", 5);
        i(u"vbYes", 6);
        i(u"vbNo", 7);
        // Colours
        l(u"vbBlack", 0);
        l(u"vbRed", 0xFF);
        l(u"vbGreen", 0xFF00);
        l(u"vbYellow", 0xFFFF);
        l(u"vbBlue", 0xFF0000);
        l(u"vbMagenta", 0xFF00FF);
        l(u"vbCyan", 0xFFFF00);
        l(u"vbWhite", 0xFFFFFF);
        // Errors
        l(u"vbObjectError", static_cast<std::int32_t>(0x80040000u));
        return c;
    }();
    return constants;
}

// ---------------------------------------------------------------------------
// Creatable objects

namespace {

struct Registry {
    std::mutex mutex;
    std::unordered_map<std::u16string, ObjectFactory, NoCaseHash, NoCaseEqual> factories;
};

Registry& registry() {
    static Registry r;
    return r;
}

void ensureLibraryObjects() {
    static std::once_flag once;
    std::call_once(once, registerLibraryObjects);
}

} // namespace

void registerCreatable(std::u16string_view progId, ObjectFactory factory) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.factories[std::u16string(progId)] = factory;
}

Ref<Dispatch> createObject(std::u16string_view progId) {
    ensureLibraryObjects();
    ObjectFactory f = nullptr;
    {
        Registry& r = registry();
        std::lock_guard lock(r.mutex);
        auto it = r.factories.find(std::u16string(progId));
        if (it != r.factories.end()) f = it->second;
    }
    if (!f) throwRuntimeError(err::CannotCreateObject);
    Ref<Dispatch> obj = f();
    if (!obj) throwRuntimeError(err::CannotCreateObject);
    return obj;
}

} // namespace qz::script
