#include "core/run/run_status.h"

#include "core/display/latest_two.h"
#include "core/run/run_texts.h"

namespace {

// Visits a RunEvent by its kind.
template <typename... Handlers> struct Visit : Handlers... { using Handlers::operator()...; };
template <typename... Handlers> Visit(Handlers...) -> Visit<Handlers...>;

} // namespace

std::u16string RunStatus::FailureText(const SourceResult& result) const {
    if (result.listed || result.interrupted) {
        return std::u16string();
    }
    if (result.source == SOURCE_INDEX_REMEMBERED) {
        return result.rememberedFault.empty() ? std::u16string()
                                              : RememberedIgnoredText(result.rememberedFault.c_str());
    }
    if (result.source < 0 || static_cast<size_t>(result.source) >= masters_.size()) {
        return std::u16string();
    }
    const MasterEntry& master = masters_[static_cast<size_t>(result.source)];
    // A web master that no worker could be had for is said as a classic master's send failure is.
    if (master.kind == MasterKind::Udp || result.udp.end != UdpMasterEnd::Answered) {
        return UdpMasterFailedText(MasterStatusName(master), result.udp);
    }
    return DownloadFailedText(master, result.download);
}

std::u16string RunStatus::EventText(const RunEvent& event, const ServerTable* table, bool* atOnce) const {
    *atOnce = false;
    return std::visit(
        Visit{
            [&](const run_event::Fetching&) {
                *atOnce = true;
                return FetchingText(masters_);
            },
            [](const run_event::Listing&) { return std::u16string(u"Querying servers..."); },
            [](const run_event::PassBegan&) { return std::u16string(); },
            [](const run_event::Query& query) { return QueryText(query.addr, query.port, query.attempt); },
            [&](const run_event::SendFailed& failed) {
                *atOnce = failed.noSocket;
                return SendFailedText(failed.error);
            },
            [&](const run_event::Answered& answered) {
                bool known = table && answered.index >= 0 && static_cast<size_t>(answered.index) < table->size();
                return known ? FoundText((*table)[static_cast<size_t>(answered.index)]) : std::u16string();
            },
            [&](const run_event::SourceEnded& ended) {
                const SourceResult& result = ended.result;
                if (result.source == SOURCE_INDEX_REMEMBERED && result.listed) {
                    return RememberedUsedText(result.named, result.rememberedAt);
                }
                return FailureText(result);
            },
            [](const run_event::TooManyServers& tooMany) { return TooManyServersText(tooMany.limit); },
        },
        event);
}

std::vector<StatusText> RunStatus::Texts(const RunReport& report, const ServerTable* table) const {
    std::vector<StatusText> texts;
    // The texts that go at the bar's rate since the last shown at once, the latest kept: an event's is made only
    // once it is kept to the end (the end's own texts come made).
    struct Rated {
        const RunEvent* event;
        std::u16string text;
    };
    LatestTwo<Rated> rated;
    auto flushRated = [&] {
        while (!rated.Empty()) {
            Rated kept = rated.TakeOldest();
            bool atOnce = false;
            texts.push_back({kept.event ? EventText(*kept.event, table, &atOnce) : std::move(kept.text), false});
        }
    };
    auto add = [&](StatusText text) {
        if (text.atOnce) {
            flushRated();
            texts.push_back(std::move(text));
        } else {
            rated.Push({nullptr, std::move(text.text)});
        }
    };
    for (const RunEvent& event : report.events) {
        bool atOnce = false;
        if (std::holds_alternative<run_event::PassBegan>(event)) {
            continue; // it says nothing
        }
        // The few that may say nothing, or say it at once, are read now; the many (queries, replies) only if kept.
        bool rare = std::holds_alternative<run_event::Fetching>(event) ||
                    std::holds_alternative<run_event::SendFailed>(event) ||
                    std::holds_alternative<run_event::SourceEnded>(event);
        if (!rare) {
            rated.Push({&event, std::u16string()});
            continue;
        }
        std::u16string text = EventText(event, table, &atOnce);
        if (!text.empty()) {
            add({std::move(text), atOnce});
        }
    }
    if (report.end) {
        for (StatusText& text : EndTexts(*report.end)) {
            add(std::move(text));
        }
    }
    flushRated();
    return texts;
}

std::vector<StatusText> RunStatus::EndTexts(const RunEnd& end) const {
    std::vector<std::u16string> failures;
    for (const SourceResult& result : end.failures) {
        failures.push_back(FailureText(result));
    }
    if (!end.queried) {
        if (end.socketFailed) {
            return {};
        }
        // No source gave a server: the shown table stays. Where several masters failed, the last line names each
        // of them, so that none is lost behind the next.
        std::u16string failed = failures.empty() ? std::u16string() : failures.back();
        if (failures.size() > 1) {
            failed = failures.front();
            for (size_t i = 1; i < failures.size(); ++i) {
                failed += u" " + failures[i];
            }
        }
        if (end.aborted) {
            return {{AbortedBeforeServersText(), true}};
        }
        if (!end.rememberedFault.empty()) {
            std::u16string fault = RememberedIgnoredText(end.rememberedFault.c_str());
            return {{failed.empty() ? fault : failed + u" " + fault, false}};
        }
        if (failures.size() > 1) {
            return {{failed, false}};
        }
        return {};
    }
    // Counted once the receiver has ended, after every accepted reply, so the line and the rows tell the same story.
    // A master that failed while other sources gave servers is named after the count, and so is a remembered list
    // that was not used, and servers the run could not hold.
    std::u16string closing = ClosingText(end.aborted, end.responded, end.total);
    if (end.usedRemembered) {
        closing = RememberedClosingText(closing, end.rememberedAt);
    } else {
        for (const std::u16string& failure : failures) {
            closing += u" " + failure;
        }
        if (!end.rememberedFault.empty()) {
            closing += u" " + RememberedIgnoredText(end.rememberedFault.c_str());
        }
    }
    if (end.outOfMemory) {
        closing += u" " + TooManyServersText(end.recordsMade);
    } else if (end.tooMany) {
        closing += u" " + TooManyServersText(end.limit);
    }
    return {{closing, true}};
}
