#include "core/net/update_checker.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "core/config/tag_file.h"
#include "core/net/http_get_client.h"
#include "core/net/md5.h"
#include "core/net/update_archive.h"
#include "core/platform/file_io.h"
#include "core/platform/program_folder.h"
#include "core/text/byte_string.h"
#include "core/text/gbk_codec.h"
#include "core/text/gbk_literal.h"

namespace quillon {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kEndMarker = "[HTML_END]";
constexpr std::string_view kListBegin = "[FILE_LIST_BEGIN]";
constexpr std::string_view kListEnd = "[FILE_LIST_END]";
constexpr const char* kMainFile = "data/main.htm";
constexpr const char* kDownloadFile = "data/data_tmp.dat";
constexpr const char* kLogFile = "data/update.txt";

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

void RemoveQuietly(const std::string& path) {
    if (path.empty()) return;
    std::error_code ec;
    fs::remove(path, ec);
}

// Copies `candidate` over `destination` through a file beside it, so a full
// disk or a crash leaves either the old file or the new one, never half of
// one. An existing destination keeps its permissions.
bool CopyIntoPlace(const std::string& candidate, const std::string& destination) {
    std::error_code ec;
    std::string part = destination + ".part";
    if (!fs::copy_file(candidate, part, fs::copy_options::overwrite_existing, ec)) {
        RemoveQuietly(part);
        return false;
    }
    // The archive's stored time (or the download's) travels with the file,
    // as a file copy keeps it.
    fs::file_time_type when = fs::last_write_time(candidate, ec);
    if (!ec) fs::last_write_time(part, when, ec);
    fs::file_status old = fs::status(destination, ec);
    if (!ec && fs::is_regular_file(old)) fs::permissions(part, old.permissions(), ec);
    fs::rename(part, destination, ec);
    if (ec) {
        RemoveQuietly(part);
        return false;
    }
    return true;
}

}  // namespace

std::string UpdateServerAddress(TagFile& tags) {
    std::string value = tags.GetValue(kUpdateServerKey);
    if (!StartsWithIgnoreCase(value, "http://") && !StartsWithIgnoreCase(value, "https://"))
        return {};
    while (!value.empty() && value.back() == '/') value.pop_back();
    return value;
}

std::string VersionQueryUrl(std::string_view server, int version) {
    return std::string(server) + Format(kVersionQueryPath, version);
}

bool ParseFileListLine(std::string_view line, UpdateFileEntry& entry) {
    std::string fields[3];
    size_t i = 0;
    for (std::string& field : fields) {
        while (i < line.size() && IsAsciiSpace(static_cast<unsigned char>(line[i]))) ++i;
        size_t start = i;
        while (i < line.size() && !IsAsciiSpace(static_cast<unsigned char>(line[i]))) ++i;
        if (i == start) return false;
        field.assign(line.substr(start, i - start));
    }
    if (fields[0].size() != 32) return false;
    for (char c : fields[0])
        if (!IsHexDigit(c)) return false;
    entry.digest = ToLowerAscii(fields[0]);
    entry.path = std::move(fields[1]);
    entry.url = std::move(fields[2]);
    return true;
}

std::string UpdateDestination(std::string_view listedPath) {
    std::string path = ReplaceAll(GbkToUtf8(listedPath), "\\", "/");
    if (path.empty() || path.front() == '/' || path.back() == '/') return {};
    std::string clean;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        std::string_view part(path.data() + start, end - start);
        start = end + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") return {};
        if (!clean.empty()) clean += '/';
        clean += part;
    }
    std::string download = kDownloadFile;
    if (clean.empty() || clean == download || clean == download + ".entry" || clean == kLogFile)
        return {};
    return clean;
}

UpdateChecker::UpdateChecker(std::string folder, int version)
    : folder_(std::move(folder)), version_(version) {
    if (!folder_.empty() && folder_.back() != '/') folder_ += '/';
}

UpdateOutcome UpdateChecker::Run() {
    if (Stopped()) return UpdateOutcome::kStopped;
    const std::string mainFile = folder_ + kMainFile;
    std::string server;
    {
        TagFile tags;
        tags.Open(mainFile);
        server = UpdateServerAddress(tags);
    }
    if (server.empty()) return UpdateOutcome::kDisabled;

    TagText log;
    log.AppendLine(Gbk("检测更新"));

    HttpGetClient http;
    http.SetConnectTimeout(connectSeconds_);
    http.SetStallTimeout(stallSeconds_);
    http.SetCancelFlag(stop_);

    std::string answer;
    int rc = http.GetText(VersionQueryUrl(server, version_), answer);
    if (Stopped()) return UpdateOutcome::kStopped;
    // A marker at the very start does not count: an answer cut off right
    // after it, or one made of nothing else, is no configuration.
    if (rc != 0 || answer.find(kEndMarker, 1) == std::string::npos) return UpdateOutcome::kNoAnswer;
    // Through a file beside it: every part of the program reads this file,
    // and a half-written one would lose all its addresses until the next
    // successful check.
    if (!WriteFileAtomically(mainFile, answer)) return UpdateOutcome::kNotSaved;

    ProgramTagFile().Open(mainFile);
    if (mainReplaced_) mainReplaced_();

    RawTagReader list;
    std::string line;
    if (list.Open(mainFile) != 0 || list.FindKey(kListBegin, line) != 0)
        return UpdateOutcome::kNoFileList;

    const std::string download = folder_ + kDownloadFile;
    while (list.NextValue(line) == 0 && line != kListEnd) {
        if (Stopped()) break;
        UpdateFileEntry entry;
        if (!ParseFileListLine(line, entry)) continue;
        std::string relative = UpdateDestination(entry.path);
        if (relative.empty()) {
            log.AppendLine(Format(Gbk("更新文件:%s 错误").c_str(), entry.path.c_str()));
            continue;
        }
        const std::string destination = folder_ + relative;
        if (FileDigest(destination) == entry.digest) continue;

        EnsureFolders(destination);
        log.AppendLine(Format(Gbk("更新文件:%s ....").c_str(), entry.path.c_str()));
        if (http.GetFile(entry.url, download) != 0 || Stopped()) {
            RemoveQuietly(download);
            continue;
        }
        if (long long size = FileSize(download); size >= 0)
            log.AppendLine(Format("FileLength:%lld", size));

        std::string candidate = download;
        std::string extracted;
        if (entry.url.ends_with(".zip")) {
            // A failed extraction leaves no candidate, whose empty digest
            // then fails the check below.
            ExtractFirstEntry(download, extracted);
            candidate = extracted;
        }
        bool placed = !candidate.empty() && FileDigest(candidate) == entry.digest &&
                      CopyIntoPlace(candidate, destination);
        log.AppendLine(Format(Gbk(placed ? "更新文件:%s 成功" : "更新文件:%s 错误").c_str(),
                              entry.path.c_str()));
        RemoveQuietly(extracted);
        RemoveQuietly(download);
    }
    if (Stopped()) {
        // What was done so far is still worth a record.
        log.Save(folder_ + kLogFile);
        return UpdateOutcome::kStopped;
    }
    log.AppendLine(Gbk("更新完成"));
    log.Save(folder_ + kLogFile);
    return UpdateOutcome::kFinished;
}

void UpdateWorker::Start(std::string folder, int version, std::chrono::milliseconds delay,
                         std::function<void()> mainFileReplaced) {
    if (thread_.joinable() || stop_.load()) return;
    thread_ = std::thread([this, folder = std::move(folder), version, delay,
                           callback = std::move(mainFileReplaced)]() mutable {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            if (wake_.wait_for(lock, delay, [this] { return stop_.load(); })) {
                outcome_ = UpdateOutcome::kStopped;
                return;
            }
        }
        UpdateChecker checker(std::move(folder), version);
        checker.SetMainFileReplaced(std::move(callback));
        checker.SetStopFlag(&stop_);
        outcome_ = checker.Run();
    });
}

void UpdateWorker::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

UpdateOutcome UpdateWorker::Wait() {
    if (thread_.joinable()) thread_.join();
    return outcome_;
}

}  // namespace quillon
