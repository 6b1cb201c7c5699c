#include "skerrow_master.h"

#include <ctime>

#include "metrics.h"

namespace skerrow_master {

namespace {

constexpr std::chrono::milliseconds SWEEP_PERIOD(100);
constexpr std::chrono::seconds SAVE_CHECK_PERIOD(1);
// The list is written within a few seconds of changing; answer times alone, which only age the servers less after
// a restart, once a minute.
constexpr std::chrono::seconds SAVE_LIST_AFTER(5);
constexpr std::chrono::seconds SAVE_ANSWERS_AFTER(60);
constexpr std::chrono::seconds SUMMARY_PERIOD(60);
// The page and the API are made again at most this often: a slow reader holds at most the answers of a few pictures.
constexpr std::chrono::seconds ANSWERS_PERIOD(2);

int64_t SecondsSince1970() {
    return static_cast<int64_t>(std::time(nullptr));
}

std::string CountsText(const MasterPortCounts& counts) {
    return std::to_string(counts.heartbeats) + " heartbeats, " + std::to_string(counts.shutdowns) + " shutdowns, " +
           std::to_string(counts.pings) + " pings, " + std::to_string(counts.queries) + " queries; dropped " +
           std::to_string(counts.malformed) + " malformed, " + std::to_string(counts.oversize) + " oversize, " +
           std::to_string(counts.rate_limited) + " rate-limited";
}

} // namespace

SkerrowMaster::SkerrowMaster(asio::io_context& io, ServiceOptions options, LogSink log)
    : options_(std::move(options)), log_(std::move(log)), answers_(ANSWERS_PERIOD),
      store_(options_.limits, options_.timing, log_), checker_(io, &store_, options_.checks_per_second),
      master_port_(io, &store_, options_.max_sources, [this] { checker_.Wake(); }),
      upstreams_(io, options_.upstreams, options_.upstream_interval, options_.upstream_answer_window, &store_,
                 &checker_, log_),
      web_(
          io,
          [this](bool is_get, std::string_view target) {
              return AnswerRequest(is_get, target, store_, mods_, &filters_, &answers_);
          },
          options_.web, log_),
      metrics_(
          io,
          [this](bool is_get, std::string_view target) {
              WebAnswer answer;
              answer.body = "not found\n";
              if (is_get && target == "/metrics") {
                  answer = {200, Metrics(), "text/plain; version=0.0.4; charset=utf-8"};
              }
              return answer;
          },
          options_.web, log_),
      sweep_timer_(io), save_timer_(io), summary_timer_(io) {}

bool SkerrowMaster::Start(std::string* error) {
    if (options_.mods_path.empty()) {
        mods_ = BuiltInMods();
    } else if (!ReadModsFile(options_.mods_path, &mods_, error)) {
        return false;
    }
    // The state file before the ports: a path that cannot be ours stops the start before anything is bound.
    if (!RestoreState(error) || !OpenSockets(error)) {
        saver_.reset();
        return false;
    }
    checker_.set_other_handler([this](const ListEntry& from, const unsigned char* data, size_t size) {
        return upstreams_.Handle(from, data, size);
    });
    upstreams_.Start();
    checker_.Wake();
    Every(&sweep_timer_, SWEEP_PERIOD, &SkerrowMaster::Sweep);
    Every(&save_timer_, SAVE_CHECK_PERIOD, &SkerrowMaster::SaveIfDue);
    Every(&summary_timer_, SUMMARY_PERIOD, &SkerrowMaster::Summarize);
    log_("started: http " + FormatAddress(web_.local()) + ", udp " + FormatAddress(master_port_.local()) +
         ", checks from " + FormatAddress(checker_.local()) + ", " + std::to_string(mods_.size()) + " mods from " +
         (options_.mods_path.empty() ? std::string("the built-in list") : options_.mods_path) + ", expiry " +
         std::to_string(options_.expire.count()) + " s, re-check " + std::to_string(options_.recheck.count()) + " s" +
         (options_.metrics ? ", metrics " + FormatAddress(metrics_.local()) : std::string()));
    return true;
}

bool SkerrowMaster::OpenSockets(std::string* error) {
    // Checks leave from the master port's address, on a port of their own: replies then never mix with the
    // heartbeats and queries of strangers.
    ListEntry checks_from{options_.udp.addr, 0};
    if (web_.Open(options_.http, error) && master_port_.Open(options_.udp, error) &&
        checker_.Open(checks_from, error) && (!options_.metrics || metrics_.Open(*options_.metrics, error))) {
        return true;
    }
    web_.Close();
    metrics_.Close();
    master_port_.Close();
    checker_.Close();
    return false;
}

bool SkerrowMaster::RestoreState(std::string* error) {
    if (options_.state_path.empty()) {
        return true;
    }
    StateContents contents;
    std::string why;
    std::string name = "state " + options_.state_path + ": ";
    switch (ReadStateFile(options_.state_path, options_.limits.max_servers, &contents, &why)) {
    case StateLoad::NotRegular:
        *error = name + why;
        return false;
    case StateLoad::Missing:
        log_(name + "none yet");
        break;
    case StateLoad::Ignored:
        log_(name + "ignored: " + why);
        break;
    case StateLoad::Loaded: {
        RestoreCounts taken = store_.Restore(contents.servers, Clock::now(), SecondsSince1970());
        restored_held_ = contents.held;
        std::string line = name + std::to_string(taken.listed + taken.candidates) + " of " +
                           std::to_string(contents.servers.size()) + " servers restored, checking them again";
        if (taken.candidates > 0) {
            line += "; " + std::to_string(taken.candidates) + " older than the expiry are listed once they answer";
        }
        if (!contents.damage.empty()) {
            line += "; damaged (" + contents.damage + "), " + std::to_string(contents.damaged) + " lines skipped";
        }
        log_(line);
        break;
    }
    }
    saver_ = std::make_unique<StateSaver>(options_.state_path, log_);
    saved_list_version_ = store_.list_version();
    saved_answer_version_ = store_.answer_version();
    last_save_ = Clock::now();
    return true;
}

void SkerrowMaster::SaveState(bool at_exit) {
    if (store_.restore_pending() == 0) {
        restored_held_ = 0;
    }
    // Until the restored servers have had their checks, a shorter list would only lose servers that may answer.
    if (store_.listed() < restored_held_) {
        if (at_exit) {
            log_("state not saved (at exit): " + std::to_string(store_.restore_pending()) +
                 " restored servers are not checked yet; " + options_.state_path + " keeps its " +
                 std::to_string(restored_held_));
        }
        return;
    }
    last_save_ = Clock::now();
    saved_list_version_ = store_.list_version();
    saved_answer_version_ = store_.answer_version();
    saver_->Save(store_.Snapshot(last_save_, SecondsSince1970()), at_exit ? "at exit" : "periodic");
}

void SkerrowMaster::Every(asio::steady_timer* timer, Clock::duration period, void (SkerrowMaster::*step)()) {
    timer->expires_after(period);
    timer->async_wait([this, timer, period, step](const boost::system::error_code& ec) {
        if (!ec) {
            (this->*step)();
            Every(timer, period, step);
        }
    });
}

void SkerrowMaster::Sweep() {
    store_.Sweep(Clock::now());
    if (store_.HasChecksDue()) {
        checker_.Wake();
    }
}

void SkerrowMaster::SaveIfDue() {
    if (!saver_) {
        return;
    }
    Clock::duration since = Clock::now() - last_save_;
    if ((store_.list_version() != saved_list_version_ && since >= SAVE_LIST_AFTER) ||
        (store_.answer_version() != saved_answer_version_ && since >= SAVE_ANSWERS_AFTER)) {
        SaveState(false);
    }
}

void SkerrowMaster::Summarize() {
    MasterPortCounts counts = master_port_.TakeCounts();
    StoreCounts store = store_.TakeCounts();
    store_total_.refused += store.refused;
    store_total_.unverified += store.unverified;
    store_total_.evicted += store.evicted;
    uint64_t stray = checker_.TakeDropped();
    total_.Add(counts);
    if (counts.Handled() + counts.Dropped() + store.refused + store.unverified + store.evicted + stray == 0) {
        return;
    }
    log_("last minute: " + CountsText(counts) + "; " + std::to_string(stray) + " stray datagrams on the check port; " +
         std::to_string(store.refused) + " candidates refused, " + std::to_string(store.evicted) +
         " pushed out by newer ones, " + std::to_string(store.unverified) + " never answered; " +
         std::to_string(store_.listed()) + " listed, " + std::to_string(store_.candidates()) + " candidates");
}

void SkerrowMaster::Stop() {
    for (asio::steady_timer* timer : {&sweep_timer_, &save_timer_, &summary_timer_}) {
        timer->cancel();
    }
    upstreams_.Stop();
    web_.Close();
    metrics_.Close();
    master_port_.Close();
    checker_.Close();
    if (saver_) {
        SaveState(true);
        saver_->Finish();
    }
    total_.Add(master_port_.TakeCounts());
    log_("stopped: " + std::to_string(store_.listed()) + " listed; since start " + CountsText(total_) + "; " +
         std::to_string(checker_.sent()) + " checks sent, " + std::to_string(checker_.taken()) + " answered");
}

std::string SkerrowMaster::Metrics() {
    MetricsFigures figures;
    figures.listed = store_.listed();
    figures.candidates = store_.candidates();
    figures.datagrams = total_;
    figures.datagrams.Add(master_port_.counts());
    figures.candidates_dropped = store_total_;
    figures.candidates_dropped.refused += store_.counts().refused;
    figures.candidates_dropped.unverified += store_.counts().unverified;
    figures.candidates_dropped.evicted += store_.counts().evicted;
    figures.checks_sent = checker_.sent();
    figures.checks_answered = checker_.taken();
    figures.web = web_.counts();
    figures.state_saves = saver_ ? saver_->written() : 0;
    figures.state_save_failures = saver_ ? saver_->failed() : 0;
    figures.log_lines_dropped = log_dropped_ ? log_dropped_() : 0;
    figures.resident_bytes = ResidentBytes();
    return FormatMetrics(figures);
}

} // namespace skerrow_master
