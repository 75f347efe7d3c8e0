#include "core/downloader/book_merger.h"

#include <cstdio>
#include <ctime>

#include <minizip/zip.h>

#include "core/downloader/html_page_parser.h"
#include "core/downloader/safe_file_name.h"
#include "core/library/book_formatter.h"
#include "core/net/md5.h"
#include "core/platform/file_io.h"
#include "core/platform/program_folder.h"
#include "core/text/byte_string.h"
#include "core/text/gbk_codec.h"
#include "core/text/gbk_literal.h"

namespace quillon {

namespace {

// A heading is one line: markup, line breaks and outer blanks go.
std::string HeadingOf(const std::string& title) {
    std::string out;
    bool inTag = false;
    for (char c : title) {
        if (c == '<') inTag = true;
        if (inTag) {
            if (c == '>') inTag = false;
            continue;
        }
        if (c == '\0') break;
        out.push_back(c == '\r' || c == '\n' || c == '\t' ? ' ' : c);
    }
    size_t b = out.find_first_not_of(' ');
    if (b == std::string::npos) return {};
    return out.substr(b, out.find_last_not_of(' ') - b + 1);
}

// The heading of the book's chapter number `number` (from 1): its title,
// or for a title of markup only (an image link) the chapter's place.
std::string ChapterHeading(const std::string& title, size_t number) {
    std::string heading = HeadingOf(title);
    if (heading.empty()) heading = Format(Gbk("第%d章").c_str(), static_cast<int>(number));
    return heading;
}

// How a row is named where it is missing: by its title, else by its place.
std::string RowName(const DownloadJob& job, size_t row) {
    std::string name = HeadingOf(job.rows[row].title);
    if (name.empty()) name = Format(Gbk("第%d行").c_str(), static_cast<int>(row + 1));
    return name;
}

// The file a row's chapter is read from ("" when there is none to read),
// and whether it is the page rather than its text.
struct ChapterFile {
    std::string path;
    bool html = false;
};

ChapterFile ChapterFileOf(const DownloadRow& row, const std::string& folder) {
    if (row.failed) return {};
    if (!row.txtFile.empty()) return {row.txtFile, false};
    if (!row.htmlFile.empty()) return {row.htmlFile, true};
    // Not reached by a download of this list: the name the title gives,
    // unless that name held the time of saving.
    if (!HasNameOfItsOwn(row.title)) return {};
    const std::string name = ChapterFileName(row.title);
    if (const std::string txt = folder + "txt/" + name + ".txt"; FileExists(txt))
        return {txt, false};
    return {folder + "html/" + name + ".html", true};
}

// Reads each checked row's chapter into `text` (its buffer reused from one
// chapter to the next) and hands it to `each` with its row; the rows whose
// chapter cannot be read go to `missing`.
template <typename Each>
void ForEachSavedChapter(const DownloadJob& job, std::vector<std::string>& missing, Each&& each) {
    missing.clear();
    const std::string folder = BookFolderOf(job);
    HtmlPageParser parser;
    std::string text;
    for (size_t r = 0; r < job.rows.size(); ++r) {
        if (!job.rows[r].checked) continue;
        const ChapterFile file = ChapterFileOf(job.rows[r], folder);
        if (file.path.empty() || !ReadWholeFile(file.path, text)) {
            missing.push_back(RowName(job, r));
            continue;
        }
        if (file.html) text = parser.HtmlToText(text);
        each(job.rows[r], text);
    }
}

// Text for XML: markup characters escaped, control characters XML forbids
// dropped, lines as they come.
std::string XmlEscape(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() + utf8.size() / 8);
    for (char c : utf8) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default:
                if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') out.push_back(c);
        }
    }
    return out;
}

std::string ChapterXhtml(const std::string& title, const std::string& text) {
    std::string t = XmlEscape(GbkToUtf8(title));
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE html>\n"
        "<html xmlns=\"http://www.w3.org/1999/xhtml\" xml:lang=\"zh-CN\" lang=\"zh-CN\">\n"
        "<head><title>" + t + "</title></head>\n<body>\n<h2>" + t + "</h2>\n";
    const std::string body = GbkToUtf8(text);
    size_t start = 0;
    while (start < body.size()) {
        size_t end = body.find('\n', start);
        if (end == std::string::npos) end = body.size();
        std::string_view line(body.data() + start, end - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
        while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
        // The full-width indent of Chinese paragraphs is the paragraph's.
        while (line.starts_with("\xE3\x80\x80")) line.remove_prefix(3);
        if (!line.empty()) out += "<p>" + XmlEscape(line) + "</p>\n";
        start = end + 1;
    }
    return out + "</body>\n</html>\n";
}

class ZipWriter final {
public:
    explicit ZipWriter(const std::string& path) : zip_(zipOpen(path.c_str(), APPEND_STATUS_CREATE)) {}
    ~ZipWriter() {
        if (zip_) zipClose(zip_, nullptr);
    }
    bool ok() const { return zip_ != nullptr && ok_; }
    // `stored` keeps the entry uncompressed (the mimetype entry must be).
    void Add(const std::string& name, std::string_view data, bool stored = false) {
        if (!ok()) return;
        zip_fileinfo info{};
        ok_ = zipOpenNewFileInZip(zip_, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                  stored ? 0 : Z_DEFLATED, stored ? 0 : Z_DEFAULT_COMPRESSION) == ZIP_OK &&
              zipWriteInFileInZip(zip_, data.data(), static_cast<unsigned>(data.size())) == ZIP_OK &&
              zipCloseFileInZip(zip_) == ZIP_OK;
    }
    bool Close() {
        if (!zip_) return false;
        const bool closed = zipClose(zip_, nullptr) == ZIP_OK;
        zip_ = nullptr;
        return closed && ok_;
    }

private:
    zipFile zip_;
    bool ok_ = true;
};

std::string UuidFrom(const std::string& seed) {
    std::string h = Md5Hex(seed);
    for (char& c : h) c = static_cast<char>(c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c);
    return h.substr(0, 8) + "-" + h.substr(8, 4) + "-" + h.substr(12, 4) + "-" + h.substr(16, 4) + "-" +
           h.substr(20, 12);
}

std::string NowUtc() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buf;
}

}  // namespace

std::vector<BookChapter> CollectSavedChapters(const DownloadJob& job,
                                              std::vector<std::string>& missing) {
    std::vector<BookChapter> chapters;
    ForEachSavedChapter(job, missing, [&chapters](const DownloadRow& row, const std::string& text) {
        chapters.push_back({row.title, text});
    });
    return chapters;
}

bool WriteMergedBook(const std::string& path, const DownloadJob& job, int& merged,
                     std::vector<std::string>& missing) {
    // The book goes out through one buffer of about this size: written
    // whole, a book of 2,000 chapters would take 40 MB of fresh memory
    // twice over (the chapters, then the book), and the time to fault in
    // those pages is most of the time of the whole merge.
    constexpr size_t kBufferBytes = 1 << 20;
    merged = 0;
    AtomicFileWriter out;
    bool ok = out.Open(path);
    const bool format = job.settings.FormatsTxt();
    std::string book;
    book.reserve(kBufferBytes + kBufferBytes / 4);
    ForEachSavedChapter(job, missing, [&](const DownloadRow& row, const std::string& text) {
        book += ChapterHeading(row.title, static_cast<size_t>(++merged));
        book += "\r\n";
        if (format) {
            book += FormatBookText(text);
        } else {
            // A chapter's text starts on its own line, however its page began.
            const size_t b = text.find_first_not_of("\r\n");
            if (b != std::string::npos) {
                book.append(text, b);
                if (book.back() != '\n') book += "\r\n";
            }
        }
        if (book.size() >= kBufferBytes) {
            ok = ok && out.Write(book);
            book.clear();
        }
    });
    return ok && out.Write(book) && out.Commit();
}

bool WriteEpub(const std::string& path, const std::string& title,
               const std::vector<BookChapter>& chapters, std::string& error) {
    const std::string bookTitle = XmlEscape(GbkToUtf8(HeadingOf(title).empty() ? Gbk("未命名") : HeadingOf(title)));
    std::string seed = title;
    for (const BookChapter& c : chapters) seed += "\n" + c.title;

    std::string manifest, spine, nav;
    std::vector<std::pair<std::string, std::string>> files;
    for (size_t i = 0; i < chapters.size(); ++i) {
        char id[32];
        std::snprintf(id, sizeof id, "c%05zu", i + 1);
        const std::string heading = ChapterHeading(chapters[i].title, i + 1);
        files.emplace_back(std::string("OEBPS/") + id + ".xhtml", ChapterXhtml(heading, chapters[i].text));
        manifest += std::string("    <item id=\"") + id + "\" href=\"" + id +
                    ".xhtml\" media-type=\"application/xhtml+xml\"/>\n";
        spine += std::string("    <itemref idref=\"") + id + "\"/>\n";
        nav += std::string("      <li><a href=\"") + id + ".xhtml\">" + XmlEscape(GbkToUtf8(heading)) +
               "</a></li>\n";
    }
    const std::string navItem = chapters.empty() ? "      <li><a href=\"nav.xhtml\">" + bookTitle + "</a></li>\n" : nav;
    const std::string navDoc =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE html>\n"
        "<html xmlns=\"http://www.w3.org/1999/xhtml\" xmlns:epub=\"http://www.idpf.org/2007/ops\" "
        "xml:lang=\"zh-CN\" lang=\"zh-CN\">\n<head><title>" + bookTitle + "</title></head>\n<body>\n"
        "  <nav epub:type=\"toc\" id=\"toc\">\n    <h1>" + bookTitle + "</h1>\n    <ol>\n" + navItem +
        "    </ol>\n  </nav>\n</body>\n</html>\n";
    const std::string opf =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<package xmlns=\"http://www.idpf.org/2007/opf\" version=\"3.0\" unique-identifier=\"bookid\" "
        "xml:lang=\"zh-CN\">\n  <metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n"
        "    <dc:identifier id=\"bookid\">urn:uuid:" + UuidFrom(seed) + "</dc:identifier>\n"
        "    <dc:title>" + bookTitle + "</dc:title>\n    <dc:language>zh-CN</dc:language>\n"
        "    <meta property=\"dcterms:modified\">" + NowUtc() + "</meta>\n  </metadata>\n"
        "  <manifest>\n    <item id=\"nav\" href=\"nav.xhtml\" media-type=\"application/xhtml+xml\" "
        "properties=\"nav\"/>\n" + manifest + "  </manifest>\n  <spine>\n" +
        (chapters.empty() ? std::string("    <itemref idref=\"nav\"/>\n") : spine) + "  </spine>\n</package>\n";
    const std::string container =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<container version=\"1.0\" xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\">\n"
        "  <rootfiles>\n    <rootfile full-path=\"OEBPS/content.opf\" "
        "media-type=\"application/oebps-package+xml\"/>\n  </rootfiles>\n</container>\n";

    // Written beside the target and renamed over it once whole, so a failed
    // export never leaves a broken book under the book's name.
    const std::string temporary = path + ".part";
    bool written;
    {
        ZipWriter zip(temporary);
        if (!zip.ok()) {
            error = "cannot create " + path;
            return false;
        }
        zip.Add("mimetype", "application/epub+zip", true);
        zip.Add("META-INF/container.xml", container);
        zip.Add("OEBPS/content.opf", opf);
        zip.Add("OEBPS/nav.xhtml", navDoc);
        for (const auto& [name, data] : files) zip.Add(name, data);
        written = zip.Close();
    }
    if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        error = "cannot write " + path;
        return false;
    }
    return true;
}

std::string BookFileName(const std::string& pageTitle) {
    std::string title = pageTitle.substr(0, pageTitle.find('\0'));
    return ChapterFileName(title);
}

std::string ReaderShelfFolder() {
    std::string folder = GetProgramFolder();
    const std::string tail = "/fetchwell/";
    if (folder.size() <= tail.size() || folder.compare(folder.size() - tail.size(), tail.size(), tail) != 0)
        return {};
    const std::string shelf = folder.substr(0, folder.size() - tail.size() + 1) + "book/";
    return IsDirectory(shelf) ? shelf : std::string();
}

std::string MissingChaptersText(const std::vector<std::string>& missing) {
    if (missing.empty()) return {};
    std::string out = Format(Gbk("缺少 %d 章：").c_str(), static_cast<int>(missing.size()));
    for (size_t i = 0; i < missing.size(); ++i) {
        if (i > 0) out += Gbk("、");
        out += missing[i];
    }
    return out;
}

}  // namespace quillon
