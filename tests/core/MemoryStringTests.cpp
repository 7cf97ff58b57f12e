#include "core/CoreFixture.h"
#include "core/ModMemoryString.h"

using namespace qz;
using qz::test::CoreFixture;

namespace {

// A text of exactly `length` bytes made of lines ended by CR LF.
std::string linesOf(std::size_t length) {
    std::string s;
    s.reserve(length);
    while (s.size() < length) s += (s.size() % 7 == 0) ? "\r\n" : "ab";
    s.resize(length);
    return s;
}

std::size_t count(const std::string& s, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + what.size())) ++n;
    return n;
}

} // namespace

TEST(QZReplace, BothSidesOfTheThresholdGiveTheSameResult) {
    for (std::size_t length : {kLargeStringThreshold - 1, kLargeStringThreshold}) {
        std::string text = linesOf(length);
        std::size_t hits = count(text, "\r\n");
        std::string out;
        QZReplace(text, out, "\r\n", "_QZCRLF");
        EXPECT_EQ(out.size(), text.size() + hits * 5);
        EXPECT_EQ(count(out, "\r\n"), 0u);
        std::string back;
        QZReplace(out, back, "_QZCRLF", "\r\n");
        EXPECT_EQ(back, text);
    }
}

TEST(QZReplace, EdgesOfMatching) {
    std::string out = "untouched";
    QZReplace("a\r\nb\r\n", out, "\r\n", "");
    EXPECT_EQ(out, "ab");
    QZReplace("abc", out, "", "x");
    EXPECT_EQ(out, "abc");
    QZReplace("xxab", out, "ab", "Z");
    EXPECT_EQ(out, "xxZ");
    QZReplace("xxa", out, "ab", "Z");
    EXPECT_EQ(out, "xxa");
    QZReplace("aaaa", out, "aa", "a");  // left to right, no overlaps
    EXPECT_EQ(out, "aa");
    QZReplace("", out, "a", "b");
    EXPECT_EQ(out, "");
    QZReplace("Abc abc", out, "abc", "-");  // case matters
    EXPECT_EQ(out, "Abc -");
}

TEST(QZReplace, CharactersOutsideTheAnsiCodePageSurviveTheLargePath) {
    std::string text = std::string(kLargeStringThreshold, 'x') + "\u00E9\u20AC\u6F22\r\n";
    std::string out;
    QZReplace(text, out, "\r\n", "_QZCRLF");
    EXPECT_EQ(out.substr(kLargeStringThreshold), "\u00E9\u20AC\u6F22_QZCRLF");
}

TEST(RawBuffers, AllocateSearchReadAndFree) {
    const std::string text = "hello world, hello";
    char* buf = QZAllocateBuffer(text.size());
    std::copy(text.begin(), text.end(), buf);
    EXPECT_EQ(QZInStr(1, buf, text.size(), "hello"), 1u);
    EXPECT_EQ(QZInStr(2, buf, text.size(), "hello"), 14u);
    EXPECT_EQ(QZInStr(15, buf, text.size(), "hello"), 0u);
    EXPECT_EQ(QZInStr(1, buf, 3, "hello"), 0u);
    EXPECT_EQ(QZInStr(1, buf, text.size(), ""), 0u);
    EXPECT_EQ(QZGetChar(buf, 5), 'o');
    QZFreeBuffer(buf, text.size());
    EXPECT_EQ(GetApiErrorText(12), "Cannot allocate memory");
    EXPECT_EQ(GetApiErrorText(987654), "Unexpected Error (Cannot decode APPI error).");
}

TEST_F(CoreFixture, AllocationFailureIsMessage3113WithTheSystemTextInTheLog) {
    try {
        QZAllocateBuffer(std::size_t(1) << 62);
        FAIL();
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.Number, OwnErrorNumber(3113));
        EXPECT_EQ(e.Description, "Unexpected error occurred when allocating string buffer.");
    }
    auto lines = logLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back()[3], "Detail");
    EXPECT_EQ(lines.back()[4].rfind("LastDllError: 12 - ", 0), 0u);
}
