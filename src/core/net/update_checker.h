#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace quillon {

class TagFile;

// The key of data/main.htm that names the update server, e.g.
// "http://updates.example:8080". A value that does not begin with "http://"
// or "https://" (the shipped "none", a missing key) turns the update check
// off, so a fresh install contacts nobody. The server's answer replaces the
// file and so decides the address of the next start.
inline constexpr std::string_view kUpdateServerKey = "[UPDATE_SERVER_URL]";

// The version query on that server; %d is the program's version number.
inline constexpr const char* kVersionQueryPath = "/quillon/main500.asp?ver=%d";

// The update server's address from the tag file, without a trailing '/', or
// "" when updates are off.
std::string UpdateServerAddress(TagFile& tags);

// Server address + the version query for `version`.
std::string VersionQueryUrl(std::string_view server, int version);

// One line of the answer's file list: "digest path url", white-space
// separated; text after the third field is ignored.
struct UpdateFileEntry {
    std::string digest;  // lower-cased
    std::string path;    // as listed (GBK, '\' or '/' separators)
    std::string url;
};

// False when the line has fewer than three fields or its first field is not
// 32 hexadecimal digits (such a line can never pass the digest check, and a
// list left open reaches the ordinary lines of the tag file).
bool ParseFileListLine(std::string_view line, UpdateFileEntry& entry);

// The listed path as a path relative to the program folder, in the file
// system's encoding with '/' separators; "" when it is not one the update
// may write: absolute, empty, naming a folder, stepping up with "..", or one
// of the update's own working files in data/.
std::string UpdateDestination(std::string_view listedPath);

// How a run ended.
enum class UpdateOutcome {
    kDisabled,    // no update server configured
    kNoAnswer,    // the query failed or its answer lacks the end marker
    kNotSaved,    // data/main.htm could not be written
    kNoFileList,  // main.htm replaced; the answer lists no files
    kFinished,    // the file list was worked through, the log written
    kStopped,     // told to stop before the end
};

// One run of the update check over the program folder `folder` (ending in
// '/'): the version query, the new data/main.htm, the listed files and the
// log data/update.txt. Blocking.
class UpdateChecker final {
public:
    explicit UpdateChecker(std::string folder, int version);

    // Called on the checking thread once the new data/main.htm is saved and
    // the program-wide tag file reloaded.
    void SetMainFileReplaced(std::function<void()> callback) { mainReplaced_ = std::move(callback); }
    // Checked between steps and during transfers; null: never stops.
    void SetStopFlag(const std::atomic<bool>* stop) { stop_ = stop; }
    // Seconds for the HTTP connection and for a stalled transfer.
    void SetTimeouts(long connectSeconds, long stallSeconds) {
        connectSeconds_ = connectSeconds;
        stallSeconds_ = stallSeconds;
    }

    UpdateOutcome Run();

private:
    bool Stopped() const { return stop_ && stop_->load(); }

    std::string folder_;
    int version_ = 0;
    std::function<void()> mainReplaced_;
    const std::atomic<bool>* stop_ = nullptr;
    long connectSeconds_ = 15;
    long stallSeconds_ = 60;
};

// The update check on its own thread, after a start delay. Destroying the
// worker (or Stop) ends the wait at once, abandons a transfer in progress
// and joins the thread.
class UpdateWorker final {
public:
    static constexpr std::chrono::milliseconds kStartDelay{10000};

    UpdateWorker() = default;
    ~UpdateWorker() { Stop(); }
    UpdateWorker(const UpdateWorker&) = delete;
    UpdateWorker& operator=(const UpdateWorker&) = delete;

    // Starts the thread; a worker runs once, so a second Start does nothing.
    void Start(std::string folder, int version, std::chrono::milliseconds delay,
               std::function<void()> mainFileReplaced);
    void Stop();
    // Waits for the run to end by itself and tells how it ended.
    UpdateOutcome Wait();

private:
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::atomic<bool> stop_{false};
    UpdateOutcome outcome_ = UpdateOutcome::kStopped;
};

}  // namespace quillon
