// Complex columns: the attachment bytes as the engine packs them, and the
// complex-column catalog of an engine-written file read both ways.
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <optional>

#include "jet/attachment_data.h"
#include "jet/complex_columns.h"
#include "support/jet_sources.h"

namespace malvorn::jet {
namespace {

std::string u32(std::uint32_t value) {
    std::string bytes;
    for (int i = 0; i < 4; ++i)
        bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
    return bytes;
}

// The inner form: header length (extension included), version 1, the
// extension's characters with NUL, the UTF-16 extension, the file.
std::string packed(const std::string& extension, const std::string& file) {
    std::string utf16;
    for (const char c : extension + '\0')
        utf16 += std::string{c, '\0'};
    return u32(static_cast<std::uint32_t>(12 + utf16.size())) + u32(1) +
           u32(static_cast<std::uint32_t>(extension.size() + 1)) + utf16 + file;
}

std::string deflated(const std::string& bytes) {
    uLongf size = compressBound(static_cast<uLong>(bytes.size()));
    std::string out(size, '\0');
    EXPECT_EQ(
        compress(reinterpret_cast<Bytef*>(out.data()), &size,
                 reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uLong>(bytes.size())),
        Z_OK);
    out.resize(size);
    return out;
}

std::string stored(bool compressed, const std::string& inner, std::uint32_t length) {
    return u32(compressed ? 1 : 0) + u32(length) + (compressed ? deflated(inner) : inner);
}

TEST(AttachmentData, FileBytesComeOutExactlyOrTheValueIsDamage) {
    const std::string file = std::string("this is\0binary \xFF data", 22);
    const std::string inner = packed("txt", file);
    const auto size = static_cast<std::uint32_t>(inner.size());
    struct Case {
        const char* what;
        std::string stored;
        std::optional<std::string> file;  // nullopt: damage
    };
    const Case cases[] = {
        {"deflated", stored(true, inner, size), file},
        {"kept as is", stored(false, inner, size), file},
        {"no extension, empty file", stored(true, packed("", ""), 14), std::string()},
        {"inflates shorter than recorded", stored(true, inner, size + 1), std::nullopt},
        {"inflates longer than recorded", stored(true, inner, size - 1), std::nullopt},
        {"raw length differs", stored(false, inner, size + 3), std::nullopt},
        {"broken stream", u32(1) + u32(size) + "not a zlib stream", std::nullopt},
        {"unknown flag", u32(2) + u32(size) + inner, std::nullopt},
        {"outer header cut", u32(1), std::nullopt},
        {"inner header cut", stored(false, inner.substr(0, 10), 10), std::nullopt},
        {"extension past the header",
         stored(false, u32(12) + u32(1) + u32(4) + file,
                static_cast<std::uint32_t>(12 + file.size())),
         std::nullopt},
        {"header past the data", stored(false, u32(400) + u32(1) + u32(1) + "x", 13), std::nullopt},
    };
    for (const auto& c : cases) {
        if (c.file) {
            EXPECT_EQ(attachmentFileBytes(c.stored, "f_x"), *c.file) << c.what;
            continue;
        }
        try {
            attachmentFileBytes(c.stored, "f_x");
            ADD_FAILURE() << c.what << ": accepted";
        } catch (const JetError& e) {
            EXPECT_EQ(e.kind(), JetErrorKind::kDamaged) << c.what;
            EXPECT_NE(std::string(e.what()).find("f_x"), std::string::npos) << c.what;
        }
    }
}

TEST(ComplexLink, FourBytesMakeTheNumberAndAnythingElseIsDamage) {
    EXPECT_EQ(complexLink(JetBinary{u32(0x01020304)}, "T"), JetValue(std::int64_t{0x01020304}));
    EXPECT_EQ(complexLink(JetBinary{u32(0xFFFFFFFF)}, "T"), JetValue(std::int64_t{0xFFFFFFFF}));
    EXPECT_TRUE(isNull(complexLink(JetValue{}, "T")));
    for (const JetValue& bad : {JetValue(JetBinary{"abc"}), JetValue(std::int64_t{1})})
        EXPECT_THROW(complexLink(bad, "T"), JetError);
}

TEST(ComplexColumns, AFileWithoutTheCatalogHasNone) {
    SKIP_WITHOUT_REAL_FILE("types-v2000.mdb");
    EXPECT_TRUE(readComplexColumns(*throughReader(realFile("types-v2000.mdb"))).empty());
}

}  // namespace
}  // namespace malvorn::jet
