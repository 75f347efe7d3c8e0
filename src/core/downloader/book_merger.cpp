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

void AppendCrLf(std::string& out) {
    if (out.empty() || out.back() != '\n') out += "\r\n";
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
    missing.clear();
    const std::string folder = BookFolderOf(job);
    HtmlPageParser parser;
    for (const DownloadRow& row : job.rows) {
        if (!row.checked) continue;
        const std::string name = ChapterFileName(row.title);
        BookChapter chapter{row.title, {}};
        if (ReadWholeFile(folder + "txt/" + name + ".txt", chapter.text)) {
            chapters.push_back(std::move(chapter));
        } else if (std::string page; ReadWholeFile(folder + "html/" + name + ".html", page)) {
            chapter.text = parser.HtmlToText(page);
            chapters.push_back(std::move(chapter));
        } else {
            missing.push_back(row.title);
        }
    }
    return chapters;
}

std::string MergeChapters(const std::vector<BookChapter>& chapters, bool format) {
    size_t size = 0;
    for (const BookChapter& c : chapters) size += c.title.size() + c.text.size() + 8;
    std::string out;
    out.reserve(format ? size + size / 8 : size);
    for (const BookChapter& c : chapters) {
        out += HeadingOf(c.title);
        out += "\r\n";
        if (format) {
            out += FormatBookText(c.text);
        } else {
            // A chapter's text starts on its own line, however its page began.
            size_t b = c.text.find_first_not_of("\r\n");
            if (b != std::string::npos) out.append(c.text, b);
        }
        AppendCrLf(out);
    }
    return out;
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
        std::string heading = HeadingOf(chapters[i].title);
        if (heading.empty()) heading = Format(Gbk("第%d章").c_str(), static_cast<int>(i + 1));
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
        out += HeadingOf(missing[i]);
    }
    return out;
}

}  // namespace quillon
