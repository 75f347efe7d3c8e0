#include "core/library/book_store.h"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/platform/file_io.h"
#include "core/text/gbk_literal.h"
#include "temp_home.h"

namespace quillon {
namespace {

class BookStoreTest : public test::TempHome {
protected:
    std::string Source(const std::string& content) {
        std::string path = home_ + "source.txt";
        EXPECT_TRUE(WriteWholeFile(path, content));
        return path;
    }
    std::string Content(const std::string& path) {
        std::string out;
        ReadWholeFile(path, out);
        return out;
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const auto& e : messenger_.entries) texts.push_back(e.text);
        return texts;
    }
    int FilesIn(const std::string& folder) {
        int n = 0;
        for (const auto& e : std::filesystem::directory_iterator(folder)) n += e.is_regular_file();
        return n;
    }

    RecordingMessenger messenger_;
};

TEST_F(BookStoreTest, BookPathIsAUtf8FileInTheBookFolder) {
    EXPECT_EQ(BookStore::BookPath(Gbk("小说")), home_ + "book/小说.txt");
}

TEST_F(BookStoreTest, NameLengthCountsGbkBytes) {
    std::string source = Source("text");
    // Two Chinese characters are four GBK bytes (six in UTF-8, two in
    // characters): only the GBK count decides.
    EXPECT_TRUE(BookStore::AddBook(source, Gbk("小说"), false, messenger_));
    EXPECT_EQ(Content(home_ + "book/小说.txt"), "text");
    EXPECT_TRUE(messenger_.entries.empty());

    EXPECT_FALSE(BookStore::AddBook(source, "abc", false, messenger_));
    EXPECT_FALSE(BookStore::RenameBook(Gbk("小说"), "abc", messenger_));
    EXPECT_EQ(Texts(), (std::vector<std::string>{Gbk("书籍名字不正确"), Gbk("书籍名字不正确")}));
    EXPECT_FALSE(FileExists(home_ + "book/abc.txt"));
}

TEST_F(BookStoreTest, NamesCannotReachOutsideTheBookFolder) {
    std::string source = Source("text");
    EXPECT_FALSE(BookStore::AddBook(source, "../outside", false, messenger_));
    EXPECT_FALSE(BookStore::AddBook(source, "sub/book", false, messenger_));
    EXPECT_FALSE(FileExists(home_ + "outside.txt"));
    EXPECT_FALSE(FileExists(home_ + "book/sub"));
    EXPECT_EQ(Texts(), (std::vector<std::string>{Gbk("书籍名字不正确"), Gbk("书籍名字不正确")}));
}

TEST_F(BookStoreTest, EmptySourceIsRefused) {
    EXPECT_FALSE(BookStore::AddBook("", "book one", false, messenger_));
    EXPECT_FALSE(BookStore::RenameBook("", "book one", messenger_));
    EXPECT_EQ(Texts(), (std::vector<std::string>{Gbk("源书目录不正确"), Gbk("源书目录不正确")}));
}

TEST_F(BookStoreTest, OverwritingAsksAndNoKeepsTheOldBook) {
    ASSERT_TRUE(WriteWholeFile(home_ + "book/old book.txt", "old"));
    std::string source = Source("new");

    messenger_.answers = {false};
    EXPECT_FALSE(BookStore::AddBook(source, "old book", false, messenger_));
    EXPECT_EQ(Content(home_ + "book/old book.txt"), "old");
    ASSERT_EQ(messenger_.entries.size(), 1u);
    EXPECT_TRUE(messenger_.entries[0].question);
    EXPECT_EQ(messenger_.entries[0].kind, MessageKind::Warning);
    EXPECT_EQ(messenger_.entries[0].text, Gbk("该书籍己经存在,是否覆盖?"));

    messenger_.answers = {true};
    EXPECT_TRUE(BookStore::AddBook(source, "old book", false, messenger_));
    EXPECT_EQ(Content(home_ + "book/old book.txt"), "new");
}

TEST_F(BookStoreTest, FailedAddNeverDamagesTheBookItWouldReplace) {
    ASSERT_TRUE(WriteWholeFile(home_ + "book/kept book.txt", "precious"));
    for (bool format : {false, true}) {
        messenger_.entries.clear();
        messenger_.answers = {true};
        EXPECT_FALSE(BookStore::AddBook(home_ + "missing.txt", "kept book", format, messenger_));
        EXPECT_EQ(Content(home_ + "book/kept book.txt"), "precious") << format;
        EXPECT_EQ(Texts().back(), Gbk("源书目录不正确或书籍名字非法"));
        // A folder is no source either.
        messenger_.answers = {true};
        EXPECT_FALSE(BookStore::AddBook(home_ + "book", "kept book", format, messenger_));
        EXPECT_EQ(Content(home_ + "book/kept book.txt"), "precious") << format;
    }
    EXPECT_EQ(FilesIn(home_ + "book"), 1);
}

TEST_F(BookStoreTest, AddsFormattedAndRecreatesTheBookFolder) {
    std::filesystem::remove_all(home_ + "book");
    std::string source = Source("first\r\n\r\n   second\n");
    EXPECT_TRUE(BookStore::AddBook(source, "formatted", true, messenger_));
    EXPECT_EQ(Content(home_ + "book/formatted.txt"), "    first\r\n    second\r\n");
    // The source is read, never changed.
    EXPECT_EQ(Content(source), "first\r\n\r\n   second\n");
}

TEST_F(BookStoreTest, BooksInOtherEncodingsAreStoredAsGbk) {
    // UTF-8 with a full-width indent and an emoji GBK cannot hold.
    const std::string utf8 = "\xE3\x80\x80\xE4\xBD\xA0\xF0\x9F\x98\x80\r\n";
    std::string source = Source(utf8);
    EXPECT_TRUE(BookStore::AddBook(source, "plain", false, messenger_));
    EXPECT_EQ(Content(home_ + "book/plain.txt"), Gbk("　你?\r\n"));
    ASSERT_EQ(messenger_.entries.size(), 1u);
    EXPECT_NE(messenger_.entries[0].text.find('1'), std::string::npos);
    // Formatted, the indent is the formatter's own, as for a GBK book.
    EXPECT_TRUE(BookStore::AddBook(source, "formatted", true, messenger_));
    EXPECT_EQ(Content(home_ + "book/formatted.txt"), Gbk("    你?\r\n"));
    EXPECT_EQ(Content(source), utf8);

    // The setting that keeps added books byte for byte.
    std::filesystem::create_directories(home_ + "data");
    ASSERT_TRUE(WriteWholeFile(home_ + "data/book_encoding.txt", "convert_added_books=0\n"));
    EXPECT_TRUE(BookStore::AddBook(source, "kept", false, messenger_));
    EXPECT_EQ(Content(home_ + "book/kept.txt"), utf8);
}

TEST_F(BookStoreTest, AddingABookOntoItselfKeepsIt) {
    std::string path = home_ + "book/itself.txt";
    ASSERT_TRUE(WriteWholeFile(path, "body"));
    messenger_.answers = {true};
    EXPECT_TRUE(BookStore::AddBook(path, "itself", false, messenger_));
    EXPECT_EQ(Content(path), "body");
}

TEST_F(BookStoreTest, RenameOntoAnExistingBookTouchesNeither) {
    ASSERT_TRUE(WriteWholeFile(home_ + "book/first.txt", "one"));
    ASSERT_TRUE(WriteWholeFile(home_ + "book/second.txt", "two"));
    EXPECT_FALSE(BookStore::RenameBook("first", "second", messenger_));
    EXPECT_EQ(Texts(), (std::vector<std::string>{Gbk("该书籍己经存在,请换个新名字?")}));
    EXPECT_FALSE(messenger_.entries[0].question);
    EXPECT_EQ(Content(home_ + "book/first.txt"), "one");
    EXPECT_EQ(Content(home_ + "book/second.txt"), "two");
}

TEST_F(BookStoreTest, RenameMovesTheBookAndReportsAMissingSource) {
    ASSERT_TRUE(WriteWholeFile(home_ + "book/" + "旧书名.txt", "body"));
    ASSERT_TRUE(WriteWholeFile(home_ + "book/lable/" + "旧书名.txt", "mark::1\r\n"));
    EXPECT_TRUE(BookStore::RenameBook(Gbk("旧书名"), Gbk("新书名"), messenger_));
    EXPECT_FALSE(FileExists(home_ + "book/旧书名.txt"));
    EXPECT_EQ(Content(home_ + "book/新书名.txt"), "body");
    EXPECT_TRUE(FileExists(home_ + "book/lable/旧书名.txt"));
    EXPECT_TRUE(messenger_.entries.empty());

    EXPECT_FALSE(BookStore::RenameBook("not there", "any name", messenger_));
    EXPECT_EQ(Texts(), (std::vector<std::string>{Gbk("更改名字失败,源书不存在")}));
    EXPECT_FALSE(FileExists(home_ + "book/any name.txt"));
}

TEST_F(BookStoreTest, DeleteAsksWithTheNameAndRemovesOnlyThatBook) {
    ASSERT_TRUE(WriteWholeFile(home_ + "book/小说一.txt", "1"));
    ASSERT_TRUE(WriteWholeFile(home_ + "book/小说二.txt", "2"));
    std::string row = FileRowPrefix() + Gbk("小说一.txt");

    messenger_.answers = {false};
    EXPECT_FALSE(BookStore::DeleteBook(row, messenger_));
    EXPECT_TRUE(FileExists(home_ + "book/小说一.txt"));
    ASSERT_EQ(messenger_.entries.size(), 1u);
    EXPECT_TRUE(messenger_.entries[0].question);
    EXPECT_EQ(messenger_.entries[0].text, Gbk("你真的要删除书籍:《小说一》吗?"));

    messenger_.answers = {true};
    EXPECT_TRUE(BookStore::DeleteBook(row, messenger_));
    EXPECT_FALSE(FileExists(home_ + "book/小说一.txt"));
    EXPECT_EQ(Content(home_ + "book/小说二.txt"), "2");
    EXPECT_TRUE(std::filesystem::is_directory(home_ + "book/lable"));
}

TEST_F(BookStoreTest, DeleteWithoutSelectionOrOnAFolderRow) {
    EXPECT_FALSE(BookStore::DeleteBook("", messenger_));
    EXPECT_EQ(Texts(), (std::vector<std::string>{Gbk("请从列表中选择要删除的书籍")}));
    std::filesystem::create_directory(home_ + "book/folder.txt");
    messenger_.answers = {true};
    EXPECT_FALSE(BookStore::DeleteBook(FolderRowPrefix() + "folder.txt", messenger_));
    EXPECT_EQ(messenger_.entries.size(), 1u);
    EXPECT_TRUE(std::filesystem::is_directory(home_ + "book/folder.txt"));
}

TEST_F(BookStoreTest, ListsTextFilesAndFoldersByName) {
    ASSERT_TRUE(WriteWholeFile(home_ + "book/zeta.txt", "12345"));
    ASSERT_TRUE(WriteWholeFile(home_ + "book/alpha.txt", ""));
    ASSERT_TRUE(WriteWholeFile(home_ + "book/" + "中文.txt", "ab"));
    ASSERT_TRUE(WriteWholeFile(home_ + "book/notes.doc", "x"));
    std::filesystem::create_directory(home_ + "book/volumes.txt");

    std::vector<BookEntry> books = BookStore::ListBooks();
    ASSERT_EQ(books.size(), 4u);
    EXPECT_TRUE(books[0].isFolder);
    EXPECT_EQ(books[0].name, "volumes");
    EXPECT_EQ(books[1].name, "alpha");
    EXPECT_EQ(books[2].name, "zeta");
    EXPECT_EQ(books[3].name, Gbk("中文"));
    EXPECT_EQ(books[3].fileName, Gbk("中文.txt"));
    EXPECT_EQ(books[3].path, home_ + "book/中文.txt");
    EXPECT_EQ(books[2].size, 5);
    EXPECT_GT(books[2].lastWrite, 0);

    // The row of the list leads back to the same book.
    EXPECT_EQ(BookRowText(books[3]), Gbk("[文件]中文.txt"));
    EXPECT_EQ(BookStore::BookPath(BookNameFromRow(BookRowText(books[3]))), books[3].path);
    EXPECT_EQ(BookRowText(books[0]), Gbk("[目录]volumes.txt"));
    EXPECT_EQ(BookNameFromRow("short"), "");
}

}  // namespace
}  // namespace quillon
