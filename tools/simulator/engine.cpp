#include "engine.h"

bool Engine::Start(const EngineOptions& options, Scenario scenario, std::string* error) {
    Stop();
    http_ = options.http;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopped_ = false;
    }
    bool ok = Load(std::move(scenario), error);
    if (ok && options.control) {
        ControlCommands commands;
        commands.load = [this](std::string text) { return LoadFromControl(std::move(text)); };
        commands.log = [this] { return LogText(); };
        commands.clear = [this] { log_->Clear(); };
        commands.quit = [this] {
            if (on_quit_) {
                on_quit_();
            }
        };
        ok = control_.Start(*options.control, std::move(commands), error);
    }
    if (!ok) {
        Stop();
    }
    return ok;
}

bool Engine::Load(Scenario scenario, std::string* error) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopped_) {
        *error = "the simulator is stopping";
        return false;
    }
    bool ok = Apply(std::move(scenario), error);
    log_->Clear();
    return ok;
}

bool Engine::Apply(Scenario scenario, std::string* error) {
    udp_masters_.Stop();
    game_.Stop();
    servers_.clear();
    master_.SetContent(MakeMasterContent(Scenario{}));
    if (scenario.master.refuse) {
        master_.Stop();
    } else if (!master_.running()) {
        if (!master_.Start(http_, error)) {
            return false;
        }
        // A port the system chose stays ours for later scenarios.
        http_ = master_.address();
    }
    if (!game_.Start(&scenario.servers, scenario.heartbeat, error)) {
        return false;
    }
    if (!udp_masters_.Start(scenario.udp_masters, scenario.servers, error)) {
        game_.Stop();
        return false;
    }
    master_.SetContent(MakeMasterContent(scenario));
    servers_ = std::move(scenario.servers);
    return true;
}

void Engine::Stop() {
    {
        // Under the lock, so a LOAD on the control thread cannot open anything again behind us.
        std::lock_guard<std::mutex> lock(mutex_);
        stopped_ = true;
        master_.Stop();
        udp_masters_.Stop();
        game_.Stop();
        servers_.clear();
    }
    // The control channel goes last: once it refuses connections, everything else is closed.
    control_.Stop();
}

std::vector<ServerConfig> Engine::servers() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return servers_;
}

std::vector<Endpoint> Engine::udp_master_addresses() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return udp_masters_.addresses();
}

std::string Engine::LoadFromControl(std::string text) {
    Scenario scenario;
    std::string error;
    if (!ParseScenario(text, &scenario, &error) || !Load(std::move(scenario), &error)) {
        return "ERROR " + error + "\n";
    }
    return "OK\n";
}

std::string Engine::LogText() const {
    std::string text;
    for (const std::string& line : log_->Lines()) {
        text += line;
        text += '\n';
    }
    return text;
}
