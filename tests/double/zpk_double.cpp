#include "zpk_double.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

namespace zpkdouble {
namespace {

struct Program {
    std::vector<double> values; // sequence; the last value repeats
    std::size_t next = 0;
    Handler handler;
    std::vector<std::string> texts;
    std::size_t nextText = 0;
    TextHandler textHandler;
    // Storage of returned texts: one buffer per call kept alive until reset,
    // so that a text returned to one thread is not overwritten by another.
    std::vector<std::unique_ptr<std::string>> returned;
};

struct State {
    std::mutex mutex;
    std::map<std::string, Program, std::less<>> programs;
    std::vector<Call> log;
};

State& state() {
    static State s;
    return s;
}

} // namespace

void reset() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.programs.clear();
    s.log.clear();
}

void setReturn(const std::string& name, double value) {
    setReturnSequence(name, {value});
}

void setReturnSequence(const std::string& name, std::vector<double> values) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    Program& p = s.programs[name];
    p.values = std::move(values);
    p.next = 0;
}

void setHandler(const std::string& name, Handler handler) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.programs[name].handler = std::move(handler);
}

void setHandler(const std::string& name, NumHandler handler) {
    setHandler(name, Handler([h = std::move(handler)](const Call& c) { return h(c.num); }));
}

void setTextReturn(const std::string& name, std::string value) {
    setTextReturnSequence(name, {std::move(value)});
}

void setTextReturnSequence(const std::string& name, std::vector<std::string> values) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    Program& p = s.programs[name];
    p.texts = std::move(values);
    p.nextText = 0;
}

void setTextHandler(const std::string& name, TextHandler handler) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.programs[name].textHandler = std::move(handler);
}

void clearCalls() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.log.clear();
}

std::vector<Call> calls() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    return s.log;
}

std::vector<Call> calls(const std::string& name) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    std::vector<Call> out;
    for (const Call& c : s.log)
        if (c.name == name) out.push_back(c);
    return out;
}

std::vector<std::string> callNames() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    std::vector<std::string> out;
    out.reserve(s.log.size());
    for (const Call& c : s.log)
        out.push_back(c.name);
    return out;
}

std::size_t count(const std::string& name) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    std::size_t n = 0;
    for (const Call& c : s.log)
        if (c.name == name) ++n;
    return n;
}

std::size_t totalCalls() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    return s.log.size();
}

namespace detail {

double record(Call&& call) {
    State& s = state();
    Handler handler;
    double value = 0.0;
    {
        std::lock_guard lock(s.mutex);
        s.log.push_back(call);
        auto it = s.programs.find(call.name);
        if (it == s.programs.end()) return 0.0;
        Program& p = it->second;
        if (p.handler) {
            handler = p.handler;
        } else if (!p.values.empty()) {
            value = p.values[std::min(p.next, p.values.size() - 1)];
            if (p.next < p.values.size()) ++p.next;
        }
    }
    // Handlers run outside the lock so that they may query the log.
    return handler ? handler(call) : value;
}

char* recordText(Call&& call) {
    State& s = state();
    TextHandler handler;
    std::string value;
    {
        std::lock_guard lock(s.mutex);
        s.log.push_back(call);
        Program& p = s.programs[call.name];
        if (p.textHandler) {
            handler = p.textHandler;
        } else if (!p.texts.empty()) {
            value = p.texts[std::min(p.nextText, p.texts.size() - 1)];
            if (p.nextText < p.texts.size()) ++p.nextText;
        }
    }
    if (handler) value = handler(call);
    std::lock_guard lock(s.mutex);
    auto& returned = s.programs[call.name].returned;
    returned.push_back(std::make_unique<std::string>(std::move(value)));
    return returned.back()->data();
}

int toInt(double value) {
    if (!std::isfinite(value)) return 0;
    return static_cast<int>(value);
}

} // namespace detail
} // namespace zpkdouble
