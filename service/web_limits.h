// The limits of the web list's HTTP side; the defaults are the service's, the tests change them.
#pragma once

#include <chrono>
#include <cstddef>

namespace skerrow_master {

struct SlotLimits {
    size_t total = 512;
    size_t per_address = 16;
    size_t per_subnet = 64; // per /24
};

struct RequestRate {
    double burst;
    double per_second;
};

struct WebLimits {
    std::chrono::milliseconds timeout{10000}; // to read a whole request, and to write an answer
    SlotLimits slots;
    // A browser asks for the filters once and a list per refresh or pick of a mod: these leave room for many behind
    // one address, and for the tests and the demo, which poll the list ten times a second while they wait.
    RequestRate per_address{60, 20};
    RequestRate per_subnet{240, 80};
};

} // namespace skerrow_master
