#include "skerrow_master.h"

#include <ctime>

#include "core/text/format.h"
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
    return fmt::format("{} heartbeats, {} shutdowns, {} pings, {} queries; dropped {} malformed, {} oversize, {} "
                       "rate-limited",
                       counts.heartbeats, counts.shutdowns, counts.pings, counts.queries, counts.malformed,
                       counts.oversize, counts.rate_limited);
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
    log_(fmt::format("started: http {}, udp {}, checks from {}, {} mods from {}, expiry {} s, re-check {} s{}",
                     FormatAddress(web_.local()), FormatAddress(master_port_.local()), FormatAddress(checker_.local()),
                     mods_.size(), options_.mods_path.empty() ? "the built-in list" : options_.mods_path,
                     options_.expire.count(), options_.recheck.count(),
                     options_.metrics ? ", metrics " + FormatAddress(metrics_.local()) : ""));
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
        std::string line = fmt::format("{}{} of {} servers restored, checking them again", name,
                                       taken.listed + taken.candidates, contents.servers.size());
        if (taken.candidates > 0) {
            line += fmt::format("; {} older than the expiry are listed once they answer", taken.candidates);
        }
        if (!contents.damage.empty()) {
            line += fmt::format("; damaged ({}), {} lines skipped", contents.damage, contents.damaged);
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
            log_(fmt::format("state not saved (at exit): {} restored servers are not checked yet; {} keeps its {}",
                             store_.restore_pending(), options_.state_path, restored_held_));
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
    log_(fmt::format("last minute: {}; {} stray datagrams on the check port; {} candidates refused, {} pushed out by "
                     "newer ones, {} never answered; {} listed, {} candidates",
                     CountsText(counts), stray, store.refused, store.evicted, store.unverified, store_.listed(),
                     store_.candidates()));
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
    log_(fmt::format("stopped: {} listed; since start {}; {} checks sent, {} answered", store_.listed(),
                     CountsText(total_), checker_.sent(), checker_.taken()));
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
