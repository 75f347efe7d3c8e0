#include "core/net/md5.h"

#include <string>

#include <gtest/gtest.h>

#include "core/net/program_update.h"
#include "core/platform/file_io.h"
#include "local_servers.h"

namespace quillon {
namespace {

struct DigestCase {
    std::string content;
    const char* lowerHex;
};

// RFC 1321 test suite values, plus one file longer than the read block.
TEST(Md5, FileDigestMatchesKnownValues) {
    net_test::TempFolder tmp;
    const DigestCase cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {std::string(1000000, 'a'), "7707d6ae4e027c70eea2a935c2296f21"},
    };
    std::string path = tmp.path() + "f.bin";
    for (const DigestCase& c : cases) {
        SCOPED_TRACE(c.lowerHex);
        ASSERT_TRUE(WriteWholeFile(path, c.content));
        EXPECT_EQ(FileDigest(path), c.lowerHex);
    }
}

TEST(Md5, MissingFileHasNoDigest) {
    net_test::TempFolder tmp;
    EXPECT_EQ(FileDigest(tmp.path() + "missing"), "");
}

TEST(Md5, HexOfBytesIsUpperCase) {
    EXPECT_EQ(Md5Hex("abc"), "900150983CD24FB0D6963F7D28E17F72");
    EXPECT_EQ(Md5Hex(std::string("\0", 1)), "93B885ADFE0DA089CDF634904FD59F71");
}

TEST(ProgramUpdate, NeededOnlyForADifferentCandidate) {
    net_test::TempFolder tmp;
    std::string running = tmp.path() + "quillon";
    std::string candidate = tmp.path() + "quillon.np";
    ASSERT_TRUE(WriteWholeFile(running, "old program"));
    EXPECT_FALSE(NeedsProgramUpdate(candidate, running)) << "no candidate";
    ASSERT_TRUE(WriteWholeFile(candidate, "old program"));
    EXPECT_FALSE(NeedsProgramUpdate(candidate, running)) << "same bytes";
    ASSERT_TRUE(WriteWholeFile(candidate, "new program"));
    EXPECT_TRUE(NeedsProgramUpdate(candidate, running));
}

}  // namespace
}  // namespace quillon
