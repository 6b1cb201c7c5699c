#include "simulator_client.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdlib>
#include <sstream>

std::string LoopbackExchange(unsigned short port, const std::string& request) {
    static bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    if (!started) {
        return "";
    }
    SOCKET connection = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (connection == INVALID_SOCKET) {
        return "";
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    std::string answer;
    if (connect(connection, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        size_t sent = 0;
        while (sent < request.size()) {
            int count = send(connection, request.data() + sent, static_cast<int>(request.size() - sent), 0);
            if (count <= 0) {
                break;
            }
            sent += static_cast<size_t>(count);
        }
        shutdown(connection, SD_SEND);
        char buffer[4096];
        int count;
        while ((count = recv(connection, buffer, sizeof buffer, 0)) > 0) {
            answer.append(buffer, static_cast<size_t>(count));
        }
    }
    closesocket(connection);
    return answer;
}

namespace {

// One command to the simulator; its whole answer comes back before it closes the connection.
std::string Exchange(const std::string& command) {
    return LoopbackExchange(SIMULATOR_CONTROL_PORT, command);
}

} // namespace

std::string SimLoad(const std::string& scenario) {
    std::string answer = Exchange("LOAD " + std::to_string(scenario.size()) + "\n" + scenario);
    while (!answer.empty() && (answer.back() == '\n' || answer.back() == '\r')) {
        answer.pop_back();
    }
    return answer;
}

std::vector<std::string> SimLog() {
    std::vector<std::string> lines;
    std::istringstream log(Exchange("LOG\n"));
    for (std::string line; std::getline(log, line);) {
        if (!line.empty()) {
            lines.push_back(line);
        }
    }
    return lines;
}

std::vector<std::string> SimLogOf(const char* kind) {
    std::vector<std::string> lines;
    std::string marker = std::string(" ") + kind + " ";
    for (const std::string& line : SimLog()) {
        size_t space = line.find(' ');
        if (space != std::string::npos && line.compare(space, marker.size(), marker) == 0) {
            lines.push_back(line);
        }
    }
    return lines;
}

long long SimLogTime(const std::string& line) {
    return std::atoll(line.c_str());
}

std::string SimLogField(const std::string& line, const char* key) {
    std::string marker = std::string(" ") + key + "=";
    size_t start = line.find(marker);
    if (start == std::string::npos) {
        return "";
    }
    start += marker.size();
    if (line[start] == '"') {
        size_t end = line.find('"', start + 1);
        return line.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
    }
    return line.substr(start, line.find(' ', start) - start);
}
