#include "report.h"

#include <barrier>
#include <chrono>
#include <memory>
#include <thread>

#include "testcode.h"
#include "zpk/zpk.h"

namespace batteryreport {

namespace {

constexpr char entryStart[] = "\r\ncycle ";

std::int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// A fresh fixture on a fresh error text, ready to run one step as cycle 1.
struct Run {
    char errorText[testcode::errorTextSize] = {};
    testcode fixture;
    explicit Run(int base) {
        setStreamBase(base);
        fixture.setErrorText(errorText);
        fixture.cycle = 1;
        defErrMsg(0);
    }
};

} // namespace

StepResult runStep(const CycleStep& step, int threads) {
    StepResult result;
    if (threads <= 1) {
        auto run = std::make_unique<Run>(0);
        const std::int64_t start = nowMs();
        (run->fixture.*step.procedure)();
        result.ms = nowMs() - start;
        result.errorTexts.emplace_back(run->errorText);
    } else {
        std::vector<std::string> texts(static_cast<std::size_t>(threads));
        std::barrier sync(threads + 1);
        std::vector<std::thread> workers;
        workers.reserve(static_cast<std::size_t>(threads));
        for (int i = 0; i < threads; ++i) {
            workers.emplace_back([&, i] {
                auto run = std::make_unique<Run>(getASNr());
                sync.arrive_and_wait();
                (run->fixture.*step.procedure)();
                texts[static_cast<std::size_t>(i)] = run->errorText;
            });
        }
        sync.arrive_and_wait();
        const std::int64_t start = nowMs();
        for (std::thread& worker : workers) worker.join();
        result.ms = nowMs() - start;
        result.errorTexts = std::move(texts);
    }
    for (const std::string& text : result.errorTexts) result.entries += countEntries(text);
    return result;
}

int countEntries(const std::string& errorText) {
    int count = 0;
    for (std::size_t at = errorText.find(entryStart); at != std::string::npos;
         at = errorText.find(entryStart, at + 1))
        ++count;
    return count;
}

std::vector<std::string> splitEntries(const std::string& errorText) {
    std::vector<std::string> entries;
    std::size_t at = errorText.find(entryStart);
    while (at != std::string::npos) {
        const std::size_t begin = at + 2; // skip the line end
        const std::size_t next = errorText.find(entryStart, at + 1);
        std::string entry = errorText.substr(begin, (next == std::string::npos ? errorText.size() : next) - begin);
        if (!entry.empty() && entry.back() == ' ') entry.pop_back();
        entries.push_back(std::move(entry));
        at = next;
    }
    return entries;
}

std::string stepLine(int number, const CycleStep& step, const StepResult& result) {
    return "step " + std::to_string(number) + " " + step.procedureName + " entries=" +
           std::to_string(result.entries) + " ms=" + std::to_string(result.ms);
}

} // namespace batteryreport
