// The reader's own conversion of stored text against the Jet library's, which
// it replaces: every value must come out byte for byte as the library gave it,
// but where the library puts a '?' in place of what it could not convert.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>

#include "jet/stored_text.h"

namespace malvorn::jet {
namespace {

using namespace std::string_literals;

std::string ucs2(std::string_view stored) {
    std::string out;
    EXPECT_TRUE(appendUcs2Text(stored, out)) << "refused";
    return out;
}

// The first position where two conversions part, for a readable failure.
std::string firstDifference(const std::string& ours, const std::string& library) {
    std::size_t at = 0;
    while (at < ours.size() && at < library.size() && ours[at] == library[at])
        ++at;
    return "first difference at byte " + std::to_string(at) + " of " + std::to_string(ours.size()) +
           " / " + std::to_string(library.size());
}

// Runs and their edges; every code unit and compressed byte: the next test.
TEST(StoredText, Jet4ValuesAsTheLibraryGivesThem) {
    struct Case {
        const char* name;
        std::string stored;
        std::string utf8;
    };
    const Case cases[] = {
        {"empty", "", ""},
        {"two characters", "A\0B\0"s, "AB"},
        {"a last odd byte is dropped", "A\0B"s, "A"},
        {"one byte alone", "A", ""},
        {"a NUL character is kept", "\0\0A\0"s, "\0A"s},
        {"the marker alone", "\xFF\xFE", ""},
        {"compressed",
         "\xFF\xFE"
         "abc",
         "abc"},
        {"compressed, then a run of two bytes",
         "\xFF\xFE"
         "a\0\x42\x30"s,
         "a\xE3\x81\x82"},
        {"a run of two bytes, back to one", "\xFF\xFE\0\x42\x30\0b"s,
         "\xE3\x81\x82"
         "b"},
        {"a run of two bytes cut short ends the value", "\xFF\xFE\0\x42\x30\x41"s, "\xE3\x81\x82"},
        {"a zero byte where a character of two would start switches back",
         "\xFF\xFE\0\0\x01"
         "A"s,
         "\x01"
         "A"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ucs2(c.stored), c.utf8);
        EXPECT_EQ(libraryText(c.stored, ""), c.utf8);
    }
}

TEST(StoredText, Jet4EveryCodeUnitAndEveryCompressedByte) {
    std::string all;  // every unit but the surrogates, which the library loses (below)
    for (unsigned unit = 0; unit <= 0xFFFF; unit = unit == 0xD7FF ? 0xE000 : unit + 1)
        all += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    const std::string library = libraryText(all, "");
    const std::string ours = ucs2(all);
    EXPECT_TRUE(ours == library) << firstDifference(ours, library);

    std::string compressed = "\xFF\xFE";
    for (int byte = 1; byte < 256; ++byte)
        compressed += static_cast<char>(byte);
    EXPECT_EQ(ucs2(compressed), libraryText(compressed, ""));
}

TEST(StoredText, Jet4RandomValuesOfTheTrickyBytes) {
    // Bytes that switch runs, make surrogates and markers, or end a value
    // short, mixed at random (a fixed seed: the same values every run).
    const char tricky[] = {'\0', '\xFF', '\xFE', '\xD8', '\xDC', '\xDF', 'A', '\x30', '\x07'};
    std::mt19937 random(29);
    for (int round = 0; round < 4000; ++round) {
        std::string stored = round % 2 == 0 ? "\xFF\xFE" : "";
        const auto length = random() % 24;
        for (unsigned i = 0; i < length; ++i)
            stored += tricky[random() % sizeof tricky];
        SCOPED_TRACE(::testing::PrintToString(stored));
        // The library turns each half of a pair into '?' (no tricky byte is
        // one): ours is refused, or the same with each pair's four bytes.
        std::string ours;
        const std::string library = libraryText(stored, "");
        if (!appendUcs2Text(stored, ours)) {
            ASSERT_NE(library.find('?'), std::string::npos);
            continue;
        }
        std::string pairsAsTheLibrary;
        for (std::size_t i = 0; i < ours.size(); ++i) {
            const bool lead = (static_cast<unsigned char>(ours[i]) & 0xF8) == 0xF0;
            pairsAsTheLibrary += lead ? std::string("??") : std::string(1, ours[i]);
            i += lead ? 3 : 0;
        }
        ASSERT_EQ(pairsAsTheLibrary, library);
    }
}

// Where ours parts from the library on purpose: a pair is its character
// (the library gives "??"), a half alone is refused (the library gives '?').
TEST(StoredText, Jet4SurrogatePairsAndHalves) {
    struct Case {
        const char* name;
        std::string stored;
        std::optional<std::string> utf8;  // nullopt: refused
    };
    const Case cases[] = {
        {"a pair", "\x3D\xD8\x00\xDE"s, "\xF0\x9F\x98\x80"},
        {"the first and the last pair", "\x00\xD8\x00\xDC\xFF\xDB\xFF\xDF"s,
         "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"},
        {"a pair in a compressed run of two",
         "\xFF\xFE"
         "a\0\x42\xD8\xB7\xDF"s,
         "a\xF0\xA0\xAE\xB7"},
        {"a high half alone", "\x3D\xD8"s, std::nullopt},
        {"a high half before a letter", "\x3D\xD8\x41\x00"s, std::nullopt},
        {"a low half first", "\x00\xDE\x3D\xD8"s, std::nullopt},
        {"two high halves", "\x3D\xD8\x3D\xD8"s, std::nullopt},
        {"a high half cut off by the end of a run", "\xFF\xFE\0\x42\xD8\0\x00\xDE"s, std::nullopt},
        {"a long text with a half at its end", std::string(600, 'a') + "\x3D\xD8"s, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string out = "kept";
        EXPECT_EQ(appendUcs2Text(c.stored, out), c.utf8.has_value());
        EXPECT_EQ(out, "kept" + c.utf8.value_or(""));
    }
    const StoredText jet4("", [](std::string_view) { return std::string("library"); });
    EXPECT_THROW(jet4("\x3D\xD8"s), UnreadableText);
}

// Each byte as the library converts it, but for those it has no character
// for ('?'): the C1 control of that number from 0x80 to 0x9F, as Windows
// reads it, and a refusal for the rest.
TEST(StoredText, Jet3SingleByteCodePagesByTable) {
    for (const char* charset :
         {"CP874", "CP1250", "CP1251", "CP1252", "CP1253", "CP1254", "CP1256", "CP1257"}) {
        SCOPED_TRACE(charset);
        ASSERT_TRUE(SingleByteText::suits(charset));
        const auto general = [&](std::string_view stored) { return libraryText(stored, charset); };
        const StoredText text(charset, general);
        std::string defined;
        for (int byte = 0; byte < 256; ++byte) {
            const std::string one(1, static_cast<char>(byte));
            SCOPED_TRACE(byte);
            if (general(one) != "?" || byte == '?') {
                defined += one;
                EXPECT_EQ(text(one), general(one));
            } else if (byte >= 0x80 && byte < 0xA0) {
                EXPECT_EQ(text("a" + one), "a\xC2" + one);
            } else {
                EXPECT_THROW(text("a" + one), UnreadableText);
            }
        }
        EXPECT_EQ(text(defined), general(defined));
        EXPECT_EQ(text(""), "");
    }
    const StoredText cp1252("CP1252", [](std::string_view s) { return libraryText(s, "CP1252"); });
    EXPECT_EQ(cp1252("\x80\x81\xE9"), "\xE2\x82\xAC\xC2\x81\xC3\xA9");
}

TEST(StoredText, Jet3CodePagesOfSeveralBytesGoThroughTheLibrary) {
    struct Case {
        const char* charset;
        bool byTable;
    };
    const Case cases[] = {{"CP932", false},  {"CP936", false},  {"CP950", false},
                          {"CP1255", false}, {"CP1258", false}, {"CP1252", true}};
    for (const auto& c : cases)
        EXPECT_EQ(SingleByteText::suits(c.charset), c.byTable) << c.charset;

    int generalCalls = 0;
    const StoredText cp932("CP932", [&](std::string_view stored) {
        ++generalCalls;
        return libraryText(stored, "CP932");
    });
    EXPECT_EQ(cp932("\x82\xA0\x8A\xBF"), "\xE3\x81\x82\xE6\xBC\xA2");  // あ漢
    EXPECT_EQ(generalCalls, 1);
    // The library's '?' for a byte it could not convert refuses the value;
    // the text's own '?' does not.
    EXPECT_EQ(cp932("?\x82\xA0?"), "?\xE3\x81\x82?");
    EXPECT_THROW(cp932("?\x82 "), UnreadableText);
    EXPECT_THROW(cp932("\x82\xA0\x82"), UnreadableText);
}

}  // namespace
}  // namespace malvorn::jet
